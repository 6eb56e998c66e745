// Emptying the deleted-files store: everything inside goes and the store stays, a linked folder
// goes as a link while what it leads to stays, the log is cleared; nothing without a yes.
#include "core/launch/DeletedStoreCleaner.h"
#include "core/db/ProgramDatabase.h"
#include "engine/EngineTestSupport.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using test::RecordingDialogs;
using test::TempDir;
using test::WriteFile;

class DeletedStoreCleaner : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    RecordingDialogs dialogs;
    const std::string store = dir.path().string() + "/Deleted/";
    const std::string outside = dir.path().string() + "/Photos/";
    ProgramDatabase db{ProgramDatabase::PathFor(dir.path())};

    void SetUp() override {
        WriteFile(store + " 2011-03-24 13-57/home/ann/a.txt", "a");
        WriteFile(store + " 2011-03-24 13-57/home/ann/deep/b.txt", "b");
        WriteFile(store + ".hidden", "h");
        fs::create_directories(store + "empty");
        WriteFile(outside + "keep.jpg", "the only copy");
        fs::create_directory_symlink(outside, store + "linked");
        fs::create_symlink(outside + "keep.jpg", store + "linked-file");
        db.LogDeletedFile(" 2011-03-24 13-57/home/ann/a.txt", int64_t{5} << 30);
    }
};

TEST_F(DeletedStoreCleaner, OnYesTheStoreIsEmptiedAndItsLogCleared) {
    dialogs.answers = {dlg::Yes};
    const auto size = EmptyDeletedStore(files, store, db, dialogs);
    ASSERT_TRUE(size);
    EXPECT_EQ(*size, 0);
    EXPECT_EQ(db.DeletedFilesSize(), 0);
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "Delete Files?");
    EXPECT_EQ(dialogs.shown[0].text,
              "Are you sure u want to delete all files in deleted files folder?\nFolder : " + store);
    EXPECT_TRUE(fs::is_directory(store));
    EXPECT_TRUE(fs::is_empty(store));
    EXPECT_EQ(test::ReadFile(outside + "keep.jpg"), "the only copy");
}

TEST_F(DeletedStoreCleaner, OnNoNothingIsTouched) {
    EXPECT_FALSE(EmptyDeletedStore(files, store, db, dialogs));
    EXPECT_TRUE(fs::exists(store + " 2011-03-24 13-57/home/ann/a.txt"));
    EXPECT_EQ(db.DeletedFilesSize(), int64_t{5} << 30);
}

TEST_F(DeletedStoreCleaner, TheRootOfTheFileSystemOrARelativePathIsNeverEmptied) {
    dialogs.answers = {dlg::Yes, dlg::Yes, dlg::Yes};
    EXPECT_FALSE(EmptyDeletedStore(files, "/", db, dialogs));
    EXPECT_FALSE(EmptyDeletedStore(files, "//", db, dialogs));
    EXPECT_FALSE(EmptyDeletedStore(files, "Deleted/", db, dialogs));
    EXPECT_FALSE(EmptyDeletedStore(files, "", db, dialogs));
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(db.DeletedFilesSize(), int64_t{5} << 30);
}

// A file that will not be deleted (in use, or on a drive gone read-only).
class StuckFile final : public test::ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    FileStatus DeleteFile(const fs::path& path) const override {
        if (path.filename() == "stuck.txt") return FileStatus::FromErrno(EBUSY);
        return real_.DeleteFile(path);
    }
};

TEST_F(DeletedStoreCleaner, WhatWillNotGoIsLeftAndCountedAndTheRestGoes) {
    WriteFile(store + "in/use/stuck.txt", "x");
    WriteFile(store + "in/use/free.txt", "y");
    StuckFile stuck(files);
    EXPECT_EQ(EmptyFolder(stuck, store), 3); // the file, its folder and that folder's parent
    EXPECT_TRUE(fs::exists(store + "in/use/stuck.txt"));
    EXPECT_FALSE(fs::exists(store + "in/use/free.txt"));
    EXPECT_FALSE(fs::exists(store + ".hidden"));
    EXPECT_FALSE(fs::exists(store + " 2011-03-24 13-57"));
    EXPECT_TRUE(fs::exists(outside + "keep.jpg"));
}

} // namespace
} // namespace drivlet
