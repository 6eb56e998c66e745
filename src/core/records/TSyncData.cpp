#include "core/records/TSyncData.h"

namespace drivlet {

void TSyncJobFields::DefineLeadingProperties(PropertyList& list) {
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
}

void TSyncJobFields::DefineDirectionProperties(PropertyList& list) {
    list.Enumeration("SyncDirection", SyncDirection, kSyncDirectionNames);
    list.Enumeration("SyncDefaultAction", SyncDefaultAction, kSyncDefaultActionNames);
}

void TSyncData::DefineProperties(PropertyList& list) {
    TSaveLoadComponent::DefineProperties(list);
    DefineLeadingProperties(list);
    list.Enumeration("SyncMode", SyncMode, kSyncModeNames);
    DefineDirectionProperties(list);
}

void TSyncDataItem::DefineProperties(PropertyList& list) {
    list.Text("ID", ID);
    DefineLeadingProperties(list);
    DefineDirectionProperties(list);
}

void TPCSyncData::DefineProperties(PropertyList& list) {
    TSaveLoadComponent::DefineProperties(list);
    list.Text("SyncName", SyncName);
    list.Text("Version", Version);
    list.Collection("SyncDataItems", SyncDataItems);
}

} // namespace drivlet
