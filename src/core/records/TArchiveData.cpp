#include "core/records/TArchiveData.h"

namespace drivlet {

void TArchiveDataBase::DefineProperties(PropertyList& list) {
    TSaveLoadComponent::DefineProperties(list);
    list.Strings("FolderList", FolderList);
    list.Strings("ExcludeList", ExcludeList);
    list.Strings("FileList", FileList);
    list.Object("FileFilter", FileFilter);
}

void TArchiveData::DefineProperties(PropertyList& list) {
    TArchiveDataBase::DefineProperties(list);
    list.Text("BackupName", BackupName);
    list.DateTime("CreateDate", CreateDate);
    list.DateTime("LastUpdate", LastUpdate);
    list.Enumeration("ArchiveMode", ArchiveMode, kArchiveModeNames);
    list.Enumeration("ArchiveType", ArchiveType, kArchiveTypeNames);
    list.Enumeration("ArchiveDir", ArchiveDir, kArchiveDirNames);
    list.Text("Password", Password);
    list.Text("Version", Version);
    list.Text("PCID", PCID);
    list.Text("GUID", GUID);
    list.Text("Host", Host);
    list.Text("UserName", UserName);
    list.Integer("Port", Port);
    list.Boolean("PassiveConnection", PassiveConnection);
    list.Text("Path", Path);
    list.Text("Destination", Destination);
    list.Integer("BackupSystem", BackupSystem);
    list.Boolean("DeleteFile", DeleteFile);
}

} // namespace drivlet
