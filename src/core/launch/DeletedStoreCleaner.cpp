#include "core/launch/DeletedStoreCleaner.h"

#include "core/app/Constants.h"
#include "core/db/ProgramDatabase.h"
#include "core/text/PathText.h"

#include <vector>

namespace drivlet {
namespace {

// Empties one folder; the sub-folders are emptied and removed in turn.
int64_t EmptyInto(const IFileSystem& files, const std::string& folder) {
    std::vector<FolderEntry> entries;
    // A folder that cannot be listed keeps what it holds; its removal then fails and is counted.
    (void)files.ReadFolder(folder, entries, ListDetail::NamesAndTypes);
    int64_t left = 0;
    for (const FolderEntry& entry : entries) {
        const std::string path = folder + entry.name;
        if (entry.isDirectory && !entry.isSymlink) {
            left += EmptyInto(files, path + '/');
            if (!files.RemoveFolder(path)) ++left;
        } else if (!files.DeleteFile(path)) {
            ++left;
        }
    }
    return left;
}

} // namespace

std::string EmptyStoreQuestion(std::string_view folder) {
    return "Are you sure u want to delete all files in deleted files folder?\nFolder : " +
           std::string(folder);
}

int64_t EmptyFolder(const IFileSystem& files, const std::string& folder) {
    return EmptyInto(files, WithSlash(folder));
}

bool MayBeDeletedStore(std::string_view folder) {
    return !folder.empty() && folder.front() == '/' &&
           folder.find_first_not_of('/') != std::string_view::npos;
}

std::optional<int64_t> EmptyDeletedStoreNow(const IFileSystem& files, const std::string& deletedFolder,
                                            ProgramDatabase& database) {
    if (!MayBeDeletedStore(deletedFolder)) return std::nullopt;
    (void)EmptyFolder(files, deletedFolder);
    database.ClearDeletedFilesLog();
    return database.DeletedFilesSize();
}

std::optional<int64_t> EmptyDeletedStore(const IFileSystem& files, const std::string& deletedFolder,
                                         ProgramDatabase& database, IMessageDialogs& dialogs) {
    if (!MayBeDeletedStore(deletedFolder)) return std::nullopt;
    if (dialogs.AskYesNo(EmptyStoreQuestion(deletedFolder), std::string(kEmptyStoreTitle), false,
                         MessageKind::Confirmation, std::string(kProductTitle)) != dlg::Yes)
        return std::nullopt;
    return EmptyDeletedStoreNow(files, deletedFolder, database);
}

} // namespace drivlet
