#include "core/drives/TFolderSizeThread.h"

#include <vector>

namespace drivlet::sizes {

TFolderSizeThread::TFolderSizeThread(const IFileSystem& files, std::string folder, Done onDone)
    : files_(files), folder_(std::move(folder)), onDone_(std::move(onDone)) {}

TFolderSizeThread::~TFolderSizeThread() {
    Terminate();
    WaitFor();
}

void TFolderSizeThread::Start() {
    if (thread_.joinable() || finished_.load()) return;
    thread_ = std::thread([this] {
        FolderTotals totals;
        try {
            totals = Walk(files_, folder_, terminated_);
        } catch (...) {
            // What was reached before the failure is lost with the walk's stack; nothing to add.
        }
        try {
            if (onDone_) onDone_(totals, terminated_.load());
        } catch (...) {
            // A failing handler has nobody to report to.
        }
        finished_.store(true);
    });
}

void TFolderSizeThread::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

FolderTotals TFolderSizeThread::Walk(const IFileSystem& files, const std::string& folder,
                                     const std::atomic<bool>& stop) {
    FolderTotals totals;
    // A stack instead of recursion: a deep tree cannot overflow the thread's stack.
    std::vector<std::string> pending{folder.empty() || folder.back() == '/' ? folder : folder + '/'};
    while (!pending.empty() && !stop.load()) {
        const std::string current = std::move(pending.back());
        pending.pop_back();
        (void)files.ListFolder(current, [&](const FolderEntry& entry) {
            if (stop.load()) return false;
            if (entry.isDirectory) {
                if (!entry.isSymlink) {
                    ++totals.folders;
                    pending.push_back(current + entry.name + '/');
                }
            } else {
                totals.size += entry.size;
                ++totals.files;
            }
            return true;
        });
    }
    return totals;
}

} // namespace drivlet::sizes
