#include "core/engine/restore/RestoreScope.h"

#include "core/engine/backup/TArchiveThreadBase.h"
#include "core/engine/backup/ZipLayout.h"
#include "core/engine/restore/RestorePath.h"
#include "core/text/PathText.h"

#include <limits>
#include <utility>

namespace drivlet {
namespace {

bool IsTimeStampedFormat(std::string_view format) {
    return format == ArchiveFormatText(TArchiveMode::amTimeStamped) ||
           format == ArchiveFormatText(TArchiveMode::amTimeStampedIncremental);
}

} // namespace

std::optional<TDateTime> EarliestCopyOf(const RestoreRun& run) {
    if (!IsTimeStampedFormat(run.format)) return std::nullopt;
    if (!run.startTime) return std::numeric_limits<TDateTime>::infinity();
    DateParts minute = DecodeDateTime(*run.startTime);
    minute.second = 0;
    minute.millisecond = 0;
    // A second's leeway for the rounding of a time kept as a fraction of a day.
    return EncodeDateTime(minute) - 1.0 / 86400;
}

bool IsJobSource(const RestoreRun& run, std::string_view path) {
    for (const std::string& file : run.files)
        if (!file.empty() && path == file) return true;
    for (const std::string& folder : run.folders) {
        if (folder.empty()) continue;
        const std::string below = WithSlash(folder);
        if (path.size() > below.size() && path.starts_with(below)) return true;
    }
    return false;
}

RestoreScope::RestoreScope(RestoreRun run, const std::filesystem::path& databaseFile)
    : run_(std::move(run)), earliest_(EarliestCopyOf(run_)), fileLog_(databaseFile) {}

bool RestoreScope::Recorded(const std::string& source) {
    const std::optional<TDateTime> copied = fileLog_.LastCopied(source);
    return copied && (!earliest_ || *copied >= *earliest_);
}

bool RestoreScope::AdmitsCopy(std::string_view rel, bool toOldPlace) {
    const std::string oldPlace = RestorePathFor({}, rel, {});
    if (toOldPlace) return IsJobSource(run_, oldPlace) && Recorded(oldPlace);
    // Below another folder the file may stand for any source that maps onto its path.
    if (Recorded(oldPlace)) return true;
    const std::string posix = "/" + std::string(rel);
    if (posix != oldPlace && Recorded(posix)) return true;
    if (!run_.sourcesSideBySide) return false;
    for (const std::string& folder : run_.folders)
        if (!folder.empty() && Recorded(WithSlash(folder) + std::string(rel))) return true;
    return false;
}

bool RestoreScope::AdmitsEntry(std::string_view archive, std::string_view entry, bool toOldPlace) {
    const std::optional<std::string> source = ZipSourceOf(archive, entry);
    if (!source) return false;
    if (toOldPlace && !IsJobSource(run_, *source)) return false;
    return Recorded(*source);
}

} // namespace drivlet
