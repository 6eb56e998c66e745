#include "core/engine/sync/TFilePair.h"

namespace drivlet {

void TFileData::Assign(const IFileSystem& files, std::string path) {
    const int64_t size = files.FileSize(path);
    if (size >= 0) {
        FileSize = size;
        FileDateTime = files.FileTime(path);
    }
    FileName = std::move(path);
}

void TFileData::Assign(std::string path, int64_t size, TDateTime time) {
    FileName = std::move(path);
    FileSize = size;
    FileDateTime = time;
}

} // namespace drivlet
