#pragma once
// The sync database of one sync job (or one item of a computer-to-computer job), beside its job
// file: `FileLog` holds one row per file name ever seen under a pair, with the dates both sides
// had when they were last made equal and the size they had then. Drive-side folders are stored
// without the drive path.
#include "core/db/Connection.h"
#include "core/db/DatabaseSchema.h"
#include "core/time/DateTime.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace drivlet {

struct SyncFileRecord {
    int64_t ID = 0;
    std::string FileName;
    std::string FolderA;
    std::string FolderB;
    std::optional<int64_t> ListID; // none: NULL
    TDateTime DateFolderA = 0;     // NULL reads as 0
    TDateTime DateFolderB = 0;
    int64_t Size = -1; // NULL (not recorded) reads as -1
};

// What a folder pair's scan needs of a row: which of the pair's two folders it is recorded
// under, and the dates.
struct SyncPairRecord {
    int64_t ID = 0;
    std::string FileName;
    bool OnA = false; // FolderA is the pair's drive-side folder
    bool OnB = false; // FolderB is the pair's computer-side folder
    TDateTime DateFolderA = 0;
    TDateTime DateFolderB = 0;
    int64_t Size = -1;
};

class SyncDatabase {
public:
    static const DatabaseSchema& Schema();
    // An ordinary sync job: the job file's path with its extension replaced by ".Usdb".
    static std::filesystem::path PathForJob(const std::filesystem::path& jobFile);
    // A computer-to-computer job item: the job file's folder + the item's ID + ".Usdb".
    static std::filesystem::path PathForItem(const std::filesystem::path& jobFile, std::string_view itemId);

    // Opens the file, creating it (and its folder) when it is missing (see Connection::Open).
    explicit SyncDatabase(const std::filesystem::path& file);
    SyncDatabase(const SyncDatabase&) = delete;
    SyncDatabase& operator=(const SyncDatabase&) = delete;

    // For batching the scan's row writes in one Transaction.
    Connection& GetConnection() { return connection_; }

    // At the start of a run: no row is matched to a pair yet. Complete when it returns.
    void ClearListIds();

    // Lookups ignore letter case; the first matching row is returned.
    std::optional<SyncFileRecord> FindDriveSide(std::string_view fileName, std::string_view folderA);
    std::optional<SyncFileRecord> FindComputerSide(std::string_view fileName, std::string_view folderB);
    std::optional<SyncFileRecord> FindById(int64_t id);
    // Every row whose FolderA is folderA or whose FolderB is folderB, ignoring letter case, in ID
    // order: one pass over the table for a whole folder pair instead of a lookup per file.
    void EachRecordOfPair(std::string_view folderA, std::string_view folderB,
                          const std::function<void(const SyncPairRecord&)>& each);

    // A new row without dates; the result carries its generated ID.
    SyncFileRecord Insert(std::string_view fileName, std::string_view folderA, std::string_view folderB,
                          std::optional<int64_t> listId);
    void SetListId(int64_t id, std::optional<int64_t> listId);
    // After a successful copy: the dates both sides now have, and their size (none: not known).
    void SetDates(int64_t id, TDateTime dateFolderA, TDateTime dateFolderB,
                  std::optional<int64_t> size = std::nullopt);

    // A folder pair whose deletions were held back at its last run, because one side ('A' or 'B')
    // had lost every file recorded there: none when they were not.
    std::optional<char> HeldSide(std::string_view folderA, std::string_view folderB);
    // The highest ID of the records of files that were on the held side when the hold began; none
    // for a hold saved before that was kept, or no hold.
    std::optional<int64_t> HeldLastFileId(std::string_view folderA, std::string_view folderB);
    void SetHeld(std::string_view folderA, std::string_view folderB, char side,
                 std::optional<int64_t> lastFileId = std::nullopt);

    // The folders below a pair's roots that were mount points (another volume) at its last run,
    // each as its side ('A' the drive's, 'B' the computer's) followed by the path below the root.
    std::vector<std::string> MountedFolders(std::string_view folderA, std::string_view folderB);
    void SetMountedFolders(std::string_view folderA, std::string_view folderB,
                           const std::vector<std::string>& folders);
    void ClearHeld(std::string_view folderA, std::string_view folderB);

private:
    std::optional<SyncFileRecord> FindOne(Statement& query);
    static SyncFileRecord RecordOf(Statement& query);

    Connection connection_;
    Statement findA_;
    Statement findB_;
    Statement findId_;
    Statement insert_;
    Statement setListId_;
    Statement setDates_;
    Statement findHeld_;
    Statement findHeldLast_;
    Statement setHeld_;
    Statement clearHeld_;
};

} // namespace drivlet
