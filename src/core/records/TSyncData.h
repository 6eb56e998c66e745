#pragma once
// Folder and file sync jobs (".usy") and computer-to-computer sync jobs (".upcsy"). Side A is the
// drive, side B the computer; entry i of an A list pairs with entry i of its B list.
#include "core/filter/TFileFilter.h"
#include "core/records/Enumerations.h"
#include "core/stream/TSaveLoadComponent.h"
#include "core/time/DateTime.h"

namespace drivlet {

// What a folder or file sync job and one computer's item of a computer-to-computer job share; the
// sync worker takes either through this.
struct TSyncJobFields {
    std::string SyncName;
    TDateTime CreateDate = 0;
    TDateTime LastUpdate = 0;
    TStringList FolderAList;
    TStringList FolderBList;
    TStringList FileAList;
    TStringList FileBList;
    std::string Version = "Version : 1.0";
    std::string PCID;
    TFileFilter FileFilter;
    TSyncDirection SyncDirection = TSyncDirection::sdBidi;
    TSyncDefaultAction SyncDefaultAction = TSyncDefaultAction::sdaAsk;

protected:
    // SyncName up to FileFilter, in stream order.
    void DefineLeadingProperties(PropertyList& list);
    // SyncDirection and SyncDefaultAction.
    void DefineDirectionProperties(PropertyList& list);
};

class TSyncData final : public TSaveLoadComponent, public TSyncJobFields {
public:
    TSyncMode SyncMode = TSyncMode::smFolder;

    std::string_view ClassName() const override { return "TSyncData"; }
    void DefineProperties(PropertyList& list) override;
};

class TSyncDataItem final : public TPersistent, public TSyncJobFields {
public:
    std::string ID;

    std::string_view ClassName() const override { return "TSyncDataItem"; }
    void DefineProperties(PropertyList& list) override;
};

class TPCSyncData final : public TSaveLoadComponent {
public:
    std::string SyncName;
    std::string Version = "Version : 1.0";
    TCollection<TSyncDataItem> SyncDataItems;

    std::string_view ClassName() const override { return "TPCSyncData"; }
    void DefineProperties(PropertyList& list) override;
};

} // namespace drivlet
