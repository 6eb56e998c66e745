#pragma once
// One file name of a sync run: the drive-side file (A), the computer-side file (B), either of which
// may be absent, the record it was matched to and what the run will do with it.
#include "core/time/DateTime.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace drivlet {

// faCopyAB copies the drive-side file over the computer-side one, faCopyBA the other way.
enum class TFileAction { faCopyAB, faCopyBA, faDelete, faSkip };

// How a listing of decided pairs names an action ("Copy to computer", ...).
std::string_view FileActionName(TFileAction action);

class TFileData {
public:
    std::string FileName;  // full path on its side; empty when the pair has no file here
    int64_t FileSize = -1; // -1 until read
    TDateTime FileDateTime = 0;
    TDateTime OLDFileDateTime = 0; // recorded when the two sides were last made equal; 0: never
    int64_t OLDFileSize = -1;      // recorded then as well; -1: not recorded

    // Takes the path and reads size and date when the file exists; otherwise they stay.
    void Assign(const IFileSystem& files, std::string path);
    // Takes the path with the size and date a folder listing already gave.
    void Assign(std::string path, int64_t size, TDateTime time);

    bool Present() const { return !FileName.empty(); }
};

class TFilePair {
public:
    TFileData FileA;
    TFileData FileB;
    bool New = false; // no record existed for this file before the run
    int64_t RecordID = 0;
    TFileAction FileAction = TFileAction::faCopyAB;
    bool Ask = false;
    // The index in the run's emptied sides (TSyncThreadBase::EmptiedSides) of the folder pair this
    // pair belongs to, whose deletions wait for the user's word; -1: none.
    int Emptied = -1;
};

} // namespace drivlet
