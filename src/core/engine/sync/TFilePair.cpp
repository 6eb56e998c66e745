#include "core/engine/sync/TFilePair.h"

namespace drivlet {

std::string_view FileActionName(TFileAction action) {
    switch (action) {
    case TFileAction::faCopyAB:
        return "Copy to computer";
    case TFileAction::faCopyBA:
        return "Copy to USB drive";
    case TFileAction::faDelete:
        return "Delete";
    case TFileAction::faSkip:
        break;
    }
    return "Skip";
}

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
