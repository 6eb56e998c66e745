#pragma once
// Emptying the deleted-files store from the Options window: every file and sub-folder inside the
// store goes (the folder itself stays), and its log in the program database is cleared.
#include "core/app/MessageDialogs.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace drivlet {

class ProgramDatabase;

inline constexpr std::string_view kEmptyStoreTitle = "Delete Files?";

// "Are you sure u want to delete all files in deleted files folder?\nFolder : " + the folder
std::string EmptyStoreQuestion(std::string_view folder);

// Deletes everything inside the folder, depth first; a file or folder that will not go is left
// and the walk goes on. A linked folder inside is removed as a link, never followed: what it
// points at is not the store's. Returns how many entries would not go.
int64_t EmptyFolder(const IFileSystem& files, const std::string& folder);

// Whether a folder can be a store to empty: a full path, not the root of the file system.
bool MayBeDeletedStore(std::string_view folder);

// Empties the store and clears `DeleteDataLog` (the question has been answered); the logged size
// afterwards (0). Nothing when the folder cannot be a store.
std::optional<int64_t> EmptyDeletedStoreNow(const IFileSystem& files, const std::string& deletedFolder,
                                            ProgramDatabase& database);

// Asks (Yes/No); on Yes empties the store and clears `DeleteDataLog`, and returns the logged size
// afterwards (0). Nothing when the user declines or the folder cannot be a store (empty, not a
// full path, or the root of the file system).
std::optional<int64_t> EmptyDeletedStore(const IFileSystem& files, const std::string& deletedFolder,
                                         ProgramDatabase& database, IMessageDialogs& dialogs);

} // namespace drivlet
