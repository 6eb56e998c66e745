#include "core/records/TSyncData.h"

namespace drivlet {

void TSyncData::DefineProperties(PropertyList& list) {
    TSaveLoadComponent::DefineProperties(list);
    list.Text("SyncName", SyncName);
    list.DateTime("CreateDate", CreateDate);
    list.DateTime("LastUpdate", LastUpdate);
    list.Strings("FolderAList", FolderAList);
    list.Strings("FolderBList", FolderBList);
    list.Strings("FileAList", FileAList);
    list.Strings("FileBList", FileBList);
    list.Text("Version", Version);
    list.Text("PCID", PCID);
    list.Object("FileFilter", FileFilter);
    list.Enumeration("SyncMode", SyncMode, kSyncModeNames);
    list.Enumeration("SyncDirection", SyncDirection, kSyncDirectionNames);
    list.Enumeration("SyncDefaultAction", SyncDefaultAction, kSyncDefaultActionNames);
}

void TSyncDataItem::DefineProperties(PropertyList& list) {
    list.Text("ID", ID);
    list.Text("SyncName", SyncName);
    list.DateTime("CreateDate", CreateDate);
    list.DateTime("LastUpdate", LastUpdate);
    list.Strings("FolderAList", FolderAList);
    list.Strings("FolderBList", FolderBList);
    list.Strings("FileAList", FileAList);
    list.Strings("FileBList", FileBList);
    list.Text("Version", Version);
    list.Text("PCID", PCID);
    list.Object("FileFilter", FileFilter);
    list.Enumeration("SyncDirection", SyncDirection, kSyncDirectionNames);
    list.Enumeration("SyncDefaultAction", SyncDefaultAction, kSyncDefaultActionNames);
}

void TPCSyncData::DefineProperties(PropertyList& list) {
    TSaveLoadComponent::DefineProperties(list);
    list.Text("SyncName", SyncName);
    list.Text("Version", Version);
    list.Collection("SyncDataItems", SyncDataItems);
}

} // namespace drivlet
