#pragma once
// One row of a drive's job list: what a job file is, read just far enough to show its kind, name,
// last run and owning computer; a file that cannot be read gives an error row that keeps its path.
#include "core/drives/JobFileKind.h"
#include "core/records/Enumerations.h"
#include "core/time/DateTimeText.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace drivlet {

inline constexpr std::string_view kErrorRowType = "<Error>";
inline constexpr std::string_view kErrorLoadingData = "<Error Loading Data>";
inline constexpr std::string_view kNeverRun = "N/A";
inline constexpr std::string_view kNotApplicable = "<N/A>";

// "Backup From USB", "Backup To USB", "Move From USB", "Move To USB", "File / Folder Sync",
// "PC-PC Sync"; the direction counts for backups and moves only.
std::string_view JobTypeText(JobFileKind kind, TArchiveDir direction = TArchiveDir::amUsbToPc);

// Whose job a row is, by its "PC ID" cell.
enum class RowOwner { ThisComputer, OtherComputer, Unreadable };

struct TAutoRunFileData {
    std::string JobName;      // BackupName or SyncName
    std::string ArchivedName; // the job file's full path
    std::string LastRunAt;    // LastUpdate as text; "N/A" when never run; "<N/A>" for a PC-PC sync
    std::string PCID;         // the owning computer; "<N/A>" for a PC-PC sync
    std::string TypeText;     // JobTypeText, or "<Error>"
    std::string Extra;        // always empty

    JobFileKind Kind = JobFileKind::None;
    TArchiveDir Direction = TArchiveDir::amUsbToPc; // of a backup or move
    bool Loaded = false;                            // false: an error row

    // 0 PC-PC sync, 1 sync, 2 move, 3 backup (the job icons); -1 for an error row.
    int TypeIcon() const;
    RowOwner Owner(std::string_view computerId) const;
    // Run and Edit act on a readable row that is not a PC-PC sync.
    bool CanRun() const { return Loaded && Kind != JobFileKind::ComputerSync && Kind != JobFileKind::None; }
    bool CanEdit() const { return CanRun(); }
    // Restores open from readable backup rows only.
    bool CanOpenRestore() const { return Loaded && Kind == JobFileKind::Backup; }
};

// Loads the job file in full, without any message: a damaged or unreadable file gives the error
// row. `lastRunText` shows LastUpdate.
TAutoRunFileData LoadJobRow(const std::filesystem::path& jobFile,
                            const DateTimeTextFormat& lastRunText = DefaultDateTimeText);

} // namespace drivlet
