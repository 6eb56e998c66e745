#pragma once
// Backup and move jobs (".ubk", ".umv").
#include "core/filter/TFileFilter.h"
#include "core/records/Enumerations.h"
#include "core/stream/TSaveLoadComponent.h"
#include "core/time/Clock.h"

namespace drivlet {

class TArchiveDataBase : public TSaveLoadComponent {
public:
    TStringList FolderList;
    TStringList ExcludeList;
    TStringList FileList;
    TFileFilter FileFilter;

    void DefineProperties(PropertyList& list) override;
};

class TArchiveData final : public TArchiveDataBase {
public:
    std::string BackupName;
    TDateTime CreateDate = 0;
    TDateTime LastUpdate = 0;
    TArchiveMode ArchiveMode = TArchiveMode::amIncremental;
    TArchiveType ArchiveType = TArchiveType::atFile;
    TArchiveDir ArchiveDir = TArchiveDir::amUsbToPc;
    std::string Password;
    std::string Version = "Version : 1.0";
    std::string PCID;
    std::string GUID;
    std::string Host;
    std::string UserName;
    int32_t Port = 0;
    bool PassiveConnection = false;
    std::string Path;
    std::string Destination;
    int32_t BackupSystem = 0;
    bool DeleteFile = false;

    // CreateDate is the moment of construction.
    explicit TArchiveData(const IClock& clock = DefaultClock()) : CreateDate(clock.Now()) {}

    std::string_view ClassName() const override { return "TArchiveData"; }
    void DefineProperties(PropertyList& list) override;
};

} // namespace drivlet
