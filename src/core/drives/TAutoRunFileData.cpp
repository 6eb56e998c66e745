#include "core/drives/TAutoRunFileData.h"

#include "core/app/SilentDialogs.h"
#include "core/records/TArchiveData.h"
#include "core/records/TSyncData.h"
#include "core/text/CaseFold.h"

namespace drivlet {
namespace {

// Loading for a list says nothing: the row itself shows that the file could not be read.
bool Load(TSaveLoadComponent& record, const std::filesystem::path& file) {
    SilentDialogs silent;
    try {
        return record.LoadCompressed(file, silent) == LoadResult::Loaded;
    } catch (const std::exception&) {
        return false;
    }
}

std::string LastRunText(TDateTime lastUpdate, const DateTimeTextFormat& format) {
    if (lastUpdate == 0) return std::string(kNeverRun);
    return format ? format(lastUpdate) : DefaultDateTimeText(lastUpdate);
}

} // namespace

JobFileKind JobFileKindOf(std::string_view fileName) {
    const size_t slash = fileName.rfind('/');
    const std::string_view name = slash == std::string_view::npos ? fileName : fileName.substr(slash + 1);
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) return JobFileKind::None;
    const std::string extension = LowerCase(name.substr(dot));
    if (extension == ".ubk") return JobFileKind::Backup;
    if (extension == ".umv") return JobFileKind::Move;
    if (extension == ".usy") return JobFileKind::Sync;
    if (extension == ".upcsy") return JobFileKind::ComputerSync;
    return JobFileKind::None;
}

std::string_view JobTypeText(JobFileKind kind, TArchiveDir direction) {
    const bool fromUsb = direction == TArchiveDir::amUsbToPc;
    switch (kind) {
    case JobFileKind::Backup:
        return fromUsb ? "Backup From USB" : "Backup To USB";
    case JobFileKind::Move:
        return fromUsb ? "Move From USB" : "Move To USB";
    case JobFileKind::Sync:
        return "File / Folder Sync";
    case JobFileKind::ComputerSync:
        return "PC-PC Sync";
    case JobFileKind::None:
        break;
    }
    return {};
}

int TAutoRunFileData::TypeIcon() const {
    if (!Loaded) return -1;
    switch (Kind) {
    case JobFileKind::ComputerSync:
        return 0;
    case JobFileKind::Sync:
        return 1;
    case JobFileKind::Move:
        return 2;
    case JobFileKind::Backup:
        return 3;
    case JobFileKind::None:
        break;
    }
    return -1;
}

RowOwner TAutoRunFileData::Owner(std::string_view computerId) const {
    if (PCID == kErrorLoadingData) return RowOwner::Unreadable;
    return PCID == computerId ? RowOwner::ThisComputer : RowOwner::OtherComputer;
}

TAutoRunFileData LoadJobRow(const std::filesystem::path& jobFile, const DateTimeTextFormat& lastRunText) {
    TAutoRunFileData row;
    row.ArchivedName = jobFile.string();
    row.Kind = JobFileKindOf(row.ArchivedName);
    switch (row.Kind) {
    case JobFileKind::Backup:
    case JobFileKind::Move: {
        TArchiveData job;
        if (!Load(job, jobFile)) break;
        row.JobName = job.BackupName;
        row.LastRunAt = LastRunText(job.LastUpdate, lastRunText);
        row.PCID = job.PCID;
        row.TypeText = JobTypeText(row.Kind, job.ArchiveDir);
        row.Direction = job.ArchiveDir;
        row.Loaded = true;
        break;
    }
    case JobFileKind::Sync: {
        TSyncData job;
        if (!Load(job, jobFile)) break;
        row.JobName = job.SyncName;
        row.LastRunAt = LastRunText(job.LastUpdate, lastRunText);
        row.PCID = job.PCID;
        row.TypeText = JobTypeText(row.Kind);
        row.Loaded = true;
        break;
    }
    case JobFileKind::ComputerSync: {
        TPCSyncData job;
        if (!Load(job, jobFile)) break;
        row.JobName = job.SyncName;
        row.LastRunAt = kNotApplicable;
        row.PCID = kNotApplicable;
        row.TypeText = JobTypeText(row.Kind);
        row.Loaded = true;
        break;
    }
    case JobFileKind::None:
        break;
    }
    if (!row.Loaded) {
        row.JobName = row.LastRunAt = row.PCID = kErrorLoadingData;
        row.TypeText = kErrorRowType;
    }
    return row;
}

} // namespace drivlet
