#pragma once
// Tells the file service which files a run is about to copy, a few files ahead of the copy, so
// that the disk reads the next files while the current one is being copied instead of after it.
#include "platform/FileSystem.h"

#include <cstddef>
#include <functional>
#include <string>

namespace drivlet {

class ReadAhead {
public:
    // The path at an index of the run's list; empty where nothing will be read.
    using PathAt = std::function<std::string(std::size_t)>;
    ReadAhead(const IFileSystem& files, std::size_t count, PathAt pathAt)
        : files_(files), count_(count), pathAt_(std::move(pathAt)) {}

    // Before the file at the index is copied: the files up to a few beyond it are announced.
    void Before(std::size_t index);

private:
    static constexpr std::size_t kFilesAhead = 8;
    const IFileSystem& files_;
    std::size_t count_;
    PathAt pathAt_;
    std::size_t announced_ = 0; // indexes below this have been announced
};

} // namespace drivlet
