#include "core/engine/backup/TBackUpThreadBase.h"

#include "core/engine/PathMapping.h"
#include "core/text/CaseFold.h"

#include <algorithm>

namespace drivlet {

TBackUpThreadBase::TBackUpThreadBase(const ThreadServices& services) : TThreadBase(services) {}

// The worker must be gone before the listings it keeps.
TBackUpThreadBase::~TBackUpThreadBase() {
    StopAndWait();
}

void TBackUpThreadBase::SetExcludeList(const std::vector<std::string>& folders) {
    excluded_.clear();
    for (const std::string& folder : folders)
        excluded_.insert(LowerCase(folder));
}

bool TBackUpThreadBase::InExcludeList(const std::string& folder) const {
    return !excluded_.empty() && excluded_.count(LowerCase(folder)) != 0;
}

bool TBackUpThreadBase::ExcludedByPrefix(const std::string& folder) const {
    const std::string lower = LowerCase(folder);
    return std::any_of(excluded_.begin(), excluded_.end(),
                       [&](const std::string& e) { return std::string_view(lower).starts_with(e); });
}

bool TBackUpThreadBase::EntersFolder(const std::string& folder, const FolderEntry& entry) {
    if (IsFolderExcluded(folder)) return false;
    return !entry.isSymlink || FollowsLinkedFolder(folder);
}

bool TBackUpThreadBase::RunBackUpBase() {
    bool succeeded = false;
    RunGuarded(kThreadErrorPrefix, [this, &succeeded] {
        BeforeCounting();
        FilesDone = -1;
        ShowStatus(StatusPhase::Searching, " Searching... ");
        std::stable_sort(
            FolderList.begin(), FolderList.end(),
            [](const std::string& a, const std::string& b) { return LowerCase(a) < LowerCase(b); });
        if (CountTotals) {
            for (const std::string& folder : FolderList)
                FilesTotal += ScanFolder(folder);
            for (const std::string& file : FileList) {
                const int64_t size = GetFileSize(file);
                if (size < 0) continue;
                FilesTotal += 1;
                BytesTotal += size;
            }
        }
        if (Terminated()) ShowStatus(StatusPhase::Canceled, "Canceled :(");
        succeeded = true;
    });
    FilesDone = 0;
    return succeeded;
}

int64_t TBackUpThreadBase::ScanFolder(const std::string& folder) {
    int64_t count = 0;
    FolderWalk::Steps steps;
    steps.list = [this](const std::string& path, std::vector<FolderEntry>& entries) {
        ShowStatus(StatusPhase::Searching, " Searching..." + path);
        return Files().ReadFolder(path, entries, ListDetail::Full);
    };
    steps.enters = [this](const std::string& sub, const FolderEntry& entry) {
        return EntersFolder(sub, entry);
    };
    steps.left = [this, &count](const std::string& sub, const FolderEntry&) {
        count += 1;
        ShowStatus(StatusPhase::Searching,
                   " Searching..." + std::string(FolderPart(sub.substr(0, sub.size() - 1))));
    };
    steps.file = [this, &count](const std::string&, const FolderEntry& entry) {
        count += 1;
        BytesTotal += entry.size;
    };
    // What the count leaves out is reported by the work, which meets it again.
    steps.special = [](const std::string&, const FolderEntry&) {};
    steps.unlisted = [this](const std::string& path, const FileStatus& status) {
        listings_.insert_or_assign(path, Listing{status, {}});
    };
    steps.end = [this](const std::string& path, std::vector<FolderEntry>& entries) {
        listings_.insert_or_assign(path, Listing{{}, std::move(entries)});
    };
    WalkFolder(folder, std::move(steps), {});
    return count;
}

FileStatus TBackUpThreadBase::TakeListing(const std::string& folder, std::vector<FolderEntry>& entries) {
    const auto found = listings_.find(folder);
    if (found == listings_.end()) return Files().ReadFolder(folder, entries, ListDetail::Full);
    const FileStatus status = found->second.status;
    entries = std::move(found->second.entries);
    listings_.erase(found);
    return status;
}

} // namespace drivlet
