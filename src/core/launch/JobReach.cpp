#include "core/launch/JobReach.h"

#include "core/text/PathText.h"

namespace drivlet {
namespace {

// Whether reading the path reads the user's files: it lies in the home folder, or holds it.
bool ReadsHome(const std::string& path, const std::string& homeFolder) {
    if (homeFolder.empty()) return true;
    const std::string home = WithSlash(homeFolder);
    const std::string folder = WithSlash(path);
    return folder.compare(0, home.size(), home) == 0 || home.compare(0, folder.size(), folder) == 0;
}

void Add(JobReach& reach, const std::string& path, ReachKind kind) {
    if (!path.empty()) reach.lines.push_back({path, kind});
}

} // namespace

std::string_view ReachKindText(ReachKind kind) {
    switch (kind) {
    case ReachKind::EmptiedFirst:
        return "will be emptied first";
    case ReachKind::MayBeDeleted:
        return "files may be deleted";
    case ReachKind::MayBeOverwritten:
        return "files may be overwritten";
    case ReachKind::MovedToDrive:
        return "will be moved to the drive (deleted here)";
    case ReachKind::CopiedToDrive:
        return "will be copied to the drive";
    }
    return {};
}

std::string JobReach::Fingerprint(const std::string& jobFileOnDrive) const {
    std::string text = jobFileOnDrive;
    for (const ReachLine& line : lines)
        text += "\n" + std::to_string(static_cast<int>(line.kind)) + "\t" + line.path;
    return text;
}

JobReach BackupReach(const TArchiveData& job, const std::string& destination, const std::string& homeFolder) {
    JobReach reach;
    if (job.ArchiveDir == TArchiveDir::amUsbToPc) {
        // Everything lands in the destination on the computer.
        Add(reach, destination,
            job.ArchiveMode == TArchiveMode::amCompletelyNew ? ReachKind::EmptiedFirst
                                                             : ReachKind::MayBeOverwritten);
        return reach;
    }
    const bool moves = job.ArchiveMode == TArchiveMode::amMove;
    const auto source = [&](const std::string& path) {
        if (moves)
            Add(reach, path, ReachKind::MovedToDrive);
        else if (ReadsHome(path, homeFolder))
            Add(reach, path, ReachKind::CopiedToDrive);
    };
    for (const std::string& folder : job.FolderList)
        source(folder);
    for (const std::string& file : job.FileList)
        source(file);
    return reach;
}

JobReach SyncReach(const TSyncJobFields& job, const std::string& homeFolder) {
    JobReach reach;
    const auto computerSide = [&](const std::string& path) {
        if (job.SyncDirection != TSyncDirection::sdPCToUSB) Add(reach, path, ReachKind::MayBeDeleted);
        if (job.SyncDirection != TSyncDirection::sdUSBToPC && ReadsHome(path, homeFolder))
            Add(reach, path, ReachKind::CopiedToDrive);
    };
    for (const std::string& folder : job.FolderBList)
        computerSide(folder);
    for (const std::string& file : job.FileBList)
        computerSide(file);
    return reach;
}

} // namespace drivlet
