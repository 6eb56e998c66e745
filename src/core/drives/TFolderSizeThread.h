#pragma once
// The size of a folder with everything in it, measured on a thread of its own: bytes, files and
// folders. It can be asked to stop at any point and then reports the totals reached so far.
#include "platform/FileSystem.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

namespace drivlet::sizes {

struct FolderTotals {
    int64_t size = 0;
    int64_t files = 0;
    int64_t folders = 0; // below the measured folder, which is not counted
};

class TFolderSizeThread {
public:
    // Called once on the walker's own thread when the walk has ended, stopped or not.
    using Done = std::function<void(const FolderTotals& totals, bool stopped)>;

    TFolderSizeThread(const IFileSystem& files, std::string folder, Done onDone);
    // Asks the walk to stop and waits for its thread (the done handler included).
    ~TFolderSizeThread();
    TFolderSizeThread(const TFolderSizeThread&) = delete;
    TFolderSizeThread& operator=(const TFolderSizeThread&) = delete;

    void Start();
    void Terminate() { terminated_.store(true); }
    void WaitFor();
    bool Finished() const { return finished_.load(); }

    // The walk itself, on the caller's thread. A folder that cannot be listed adds nothing; a
    // linked folder is not walked (a link can lead back up into the tree) and is not counted.
    static FolderTotals Walk(const IFileSystem& files, const std::string& folder,
                             const std::atomic<bool>& stop);

private:
    const IFileSystem& files_;
    std::string folder_;
    Done onDone_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace drivlet::sizes
