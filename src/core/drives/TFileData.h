#pragma once
// One file or folder of a sync wizard's size list, with what measuring it found (not the sync
// worker's file record of the same name, which lives in another namespace).
#include <cstdint>
#include <string>

namespace drivlet::sizes {

struct TFileData {
    uint64_t Id = 0;      // the entry's identity in its collection, kept while it lives
    int64_t Row = -1;     // the list row that shows it, the front end's to choose
    std::string FileName; // below the collection's root folder
    bool IsFolder = false;
    int64_t Size = -1;        // -1: not measured, or nothing there
    int64_t FileCount = -1;   // -1: not measured
    int64_t FolderCount = -1; // -1: not measured
    bool Measuring = false;   // a folder walk is under way
};

} // namespace drivlet::sizes
