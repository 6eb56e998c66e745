// Copies and moves: the target's name holds the old file or the whole copy, never a part.
#include "files/FileTestSupport.h"
#include "platform/linux/LinuxFileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using FileCopy = test::FileServiceTest;
using FileMove = test::FileServiceTest;
using FileDelete = test::FileServiceTest;
using test::HasTempFile;
using test::NamesIn;
using test::ReadFile;
using test::WriteFile;
using test::WritePatternFile;

struct timespec MTime(const fs::path& p) {
    struct stat st {};
    EXPECT_EQ(::stat(p.c_str(), &st), 0) << p;
    return st.st_mtim;
}

void SetMTime(const fs::path& p, time_t sec, long nsec) {
    const struct timespec times[2] = {{0, UTIME_OMIT}, {sec, nsec}};
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
}

constexpr int64_t k256MiB = int64_t(256) << 20;

TEST_F(FileCopy, CopiesContentTimeAndModeWithProgress) {
    WritePatternFile(dir / "src.bin", 9 * (1 << 20) + 123, 1);
    chmod((dir / "src.bin").c_str(), 0640);
    SetMTime(dir / "src.bin", 1700000001, 123456789);

    std::vector<std::pair<int64_t, int64_t>> calls;
    const FileStatus status =
        files.CopyFile(dir / "src.bin", dir / "out.bin", CopyMode::FailIfExists, [&](int64_t d, int64_t t) {
            calls.emplace_back(d, t);
            return true;
        });
    ASSERT_TRUE(status) << status.message();
    EXPECT_TRUE(test::SameContent(dir / "src.bin", dir / "out.bin"));
    EXPECT_EQ(MTime(dir / "out.bin").tv_sec, 1700000001);
    EXPECT_EQ(MTime(dir / "out.bin").tv_nsec, 123456789);
    EXPECT_EQ(fs::status(dir / "out.bin").permissions(), fs::perms(0640));
    EXPECT_EQ(files.FileTime(dir / "out.bin"), files.FileTime(dir / "src.bin"));

    // One call before the data, one per 4 MiB chunk, rising to the whole size.
    const int64_t total = 9 * (1 << 20) + 123;
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls.front(), std::make_pair(int64_t(0), total));
    EXPECT_EQ(calls[1].first, int64_t(4) << 20);
    EXPECT_EQ(calls.back(), std::make_pair(total, total));
    EXPECT_EQ(NamesIn(dir.path()), (std::vector<std::string>{"out.bin", "src.bin"}));
}

TEST_F(FileCopy, EmptyFileReportsZeroOfZeroOnce) {
    WriteFile(dir / "empty", "");
    int calls = 0;
    ASSERT_TRUE(files.CopyFile(dir / "empty", dir / "copy", CopyMode::Overwrite, [&](int64_t d, int64_t t) {
        EXPECT_EQ(d, 0);
        EXPECT_EQ(t, 0);
        ++calls;
        return true;
    }));
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(fs::file_size(dir / "copy"), 0u);
}

TEST_F(FileCopy, CancelHalfWayLeavesOldTargetAndNoTempFile) {
    WritePatternFile(dir / "new.bin", k256MiB, 2);
    WritePatternFile(dir / "target.bin", 3 << 20, 3);
    WritePatternFile(dir / "expected.bin", 3 << 20, 3);
    SetMTime(dir / "target.bin", 1600000000, 0);

    int64_t reached = 0;
    const FileStatus status =
        files.CopyFile(dir / "new.bin", dir / "target.bin", CopyMode::Overwrite, [&](int64_t d, int64_t t) {
            reached = d;
            return d < t / 2;
        });
    EXPECT_EQ(status.code(), ECANCELED);
    EXPECT_EQ(status.message(), std::strerror(ECANCELED));
    EXPECT_EQ(reached, k256MiB / 2);
    EXPECT_TRUE(test::SameContent(dir / "target.bin", dir / "expected.bin"));
    EXPECT_EQ(MTime(dir / "target.bin").tv_sec, 1600000000);
    EXPECT_FALSE(HasTempFile(dir.path()));

    // Never-overwrite cancelled: the target never appears.
    EXPECT_EQ(files
                  .CopyFile(dir / "new.bin", dir / "fresh.bin", CopyMode::FailIfExists,
                            [](int64_t d, int64_t) { return d == 0; })
                  .code(),
              ECANCELED);
    EXPECT_FALSE(fs::exists(dir / "fresh.bin"));
    EXPECT_FALSE(HasTempFile(dir.path()));
}

TEST_F(FileCopy, ExistingTargetIsRefusedOrReplacedWhole) {
    WriteFile(dir / "a", "new");
    WriteFile(dir / "b", "old");
    SetMTime(dir / "b", 1500000000, 5);
    const FileStatus status = files.CopyFile(dir / "a", dir / "b", CopyMode::FailIfExists);
    EXPECT_EQ(status.code(), EEXIST);
    EXPECT_EQ(status.message(), "File exists");
    EXPECT_EQ(ReadFile(dir / "b"), "old");
    EXPECT_EQ(MTime(dir / "b").tv_sec, 1500000000);
    EXPECT_EQ(MTime(dir / "b").tv_nsec, 5);

    // A read-only target is replaced as well.
    chmod((dir / "b").c_str(), 0444);
    ASSERT_TRUE(files.CopyFile(dir / "a", dir / "b", CopyMode::Overwrite));
    EXPECT_EQ(ReadFile(dir / "b"), "new");
    EXPECT_EQ(MTime(dir / "b").tv_sec, MTime(dir / "a").tv_sec);
    EXPECT_FALSE(HasTempFile(dir.path()));
}

TEST_F(FileCopy, NeverOverwriteLosesToTargetCreatedDuringCopy) {
    WritePatternFile(dir / "a", 10 << 20, 4);
    const FileStatus status =
        files.CopyFile(dir / "a", dir / "b", CopyMode::FailIfExists, [&](int64_t d, int64_t) {
            if (d > 0 && !fs::exists(dir / "b")) WriteFile(dir / "b", "someone else's");
            return true;
        });
    EXPECT_EQ(status.code(), EEXIST);
    EXPECT_EQ(ReadFile(dir / "b"), "someone else's");
    EXPECT_FALSE(HasTempFile(dir.path()));
}

TEST_F(FileCopy, ReadWriteFallbackCopiesTheSameBytes) {
    LinuxFileSystemOptions options;
    options.kernelCopy = false;
    options.chunkBytes = 1 << 20;
    const LinuxFileSystem readWrite(options);
    WritePatternFile(dir / "a", (5 << 20) + 7, 5);
    ASSERT_TRUE(readWrite.CopyFile(dir / "a", dir / "b", CopyMode::Overwrite));
    EXPECT_TRUE(test::SameContent(dir / "a", dir / "b"));
}

TEST_F(FileCopy, FailuresCarryTheSystemText) {
    FileStatus status = files.CopyFile(dir / "missing", dir / "b", CopyMode::Overwrite);
    EXPECT_EQ(status.code(), ENOENT);
    EXPECT_EQ(status.message(), "No such file or directory");
    WriteFile(dir / "a", "x");
    status = files.CopyFile(dir / "a", dir / "no" / "folder" / "b", CopyMode::Overwrite);
    EXPECT_EQ(status.code(), ENOENT);
    fs::create_directory(dir / "sub");
    EXPECT_EQ(files.CopyFile(dir / "sub", dir / "c", CopyMode::Overwrite).code(), EISDIR);
    // A folder standing at the target's name is not replaced.
    EXPECT_FALSE(files.CopyFile(dir / "a", dir / "sub", CopyMode::Overwrite));
    EXPECT_TRUE(fs::is_directory(dir / "sub"));
    EXPECT_FALSE(HasTempFile(dir.path()));
}

TEST_F(FileCopy, FullDiskFailsAndLeavesNothing) {
    test::TmpfsMount small(dir / "small", "1m");
    DRIVLET_REQUIRE_MOUNT(small);
    WritePatternFile(dir / "big", 3 << 20, 6);

    FileStatus status = files.CopyFile(dir / "big", small.path() / "big", CopyMode::FailIfExists);
    EXPECT_EQ(status.code(), ENOSPC);
    EXPECT_EQ(status.message(), "No space left on device");
    EXPECT_TRUE(NamesIn(small.path()).empty());

    // An existing target survives a copy that runs out of space.
    WriteFile(small.path() / "old", "keep me");
    status = files.CopyFile(dir / "big", small.path() / "old", CopyMode::Overwrite);
    EXPECT_EQ(status.code(), ENOSPC);
    EXPECT_EQ(NamesIn(small.path()), std::vector<std::string>{"old"});
    EXPECT_EQ(ReadFile(small.path() / "old"), "keep me");
}

TEST_F(FileCopy, KilledCopyLeavesOldTargetAndItsTempFileIsRemovedNextTime) {
    WritePatternFile(dir / "new.bin", 32 << 20, 7);
    WriteFile(dir / "out" / "target", "old target");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        files.CopyFile(dir / "new.bin", dir / "out" / "target", CopyMode::Overwrite, [](int64_t d, int64_t) {
            if (d > 0) raise(SIGKILL);
            return true;
        });
        _exit(0);
    }
    int wstatus = 0;
    ASSERT_EQ(waitpid(child, &wstatus, 0), child);
    ASSERT_TRUE(WIFSIGNALED(wstatus));
    EXPECT_EQ(ReadFile(dir / "out" / "target"), "old target");
    ASSERT_TRUE(HasTempFile(dir / "out"));

    // The killed run's file is fresh, but its process is gone.
    WriteFile(dir / "small", "s");
    ASSERT_TRUE(files.CopyFile(dir / "small", dir / "out" / "other", CopyMode::Overwrite));
    EXPECT_EQ(NamesIn(dir / "out"), (std::vector<std::string>{"other", "target"}));
}

TEST_F(FileCopy, AKilledCopyToAFreeNameLeavesNothingBehind) {
    fs::create_directories(dir / "out");
    const int probe = open((dir / "out").c_str(), O_TMPFILE | O_WRONLY, 0600);
    if (probe < 0) GTEST_SKIP() << "this file system has no anonymous files: " << std::strerror(errno);
    close(probe);
    WritePatternFile(dir / "new.bin", 32 << 20, 8);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Mid-copy the folder shows nothing, not even a temporary name.
        files.CopyFile(dir / "new.bin", dir / "out" / "target", CopyMode::FailIfExists,
                       [&](int64_t d, int64_t) {
                           if (d > 0) raise(NamesIn(dir / "out").empty() ? SIGKILL : SIGABRT);
                           return true;
                       });
        _exit(0);
    }
    int wstatus = 0;
    ASSERT_EQ(waitpid(child, &wstatus, 0), child);
    ASSERT_TRUE(WIFSIGNALED(wstatus));
    EXPECT_EQ(WTERMSIG(wstatus), SIGKILL) << "a file was visible in the folder during the copy";
    EXPECT_TRUE(NamesIn(dir / "out").empty());
}

// Only what the journals of ended runs list goes; a user's file of the same form, a file of a live
// copy and one whose journal is still held all stay, and a user's file is listed like any other.
TEST_F(FileCopy, OnlyTheNotedLeftoversOfEndedRunsAreRemoved) {
    const std::string prefix = std::string(LinuxFileSystem::kTempPrefix) + "424242";
    WriteFile(dir / (prefix + "-users00"), "the user's own file");
    WriteFile(dir / (prefix + "-locked"), "being written by a live copy");
    const int held = open((dir / (prefix + "-locked")).c_str(), O_RDONLY);
    ASSERT_EQ(flock(held, LOCK_EX), 0);

    // A run that noted a name, made the file and was killed.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        LinuxFileSystem killed(test::JournalIn(journal.path()));
        const std::string name = killed.TemporaryName(dir.path());
        WriteFile(name, "half an extraction");
        raise(SIGKILL);
        _exit(0);
    }
    int wstatus = 0;
    ASSERT_EQ(waitpid(child, &wstatus, 0), child);
    ASSERT_TRUE(WIFSIGNALED(wstatus));
    // A live run's noted file stays: its journal is held.
    LinuxFileSystem live(test::JournalIn(journal.path()));
    const std::string liveName = live.TemporaryName(dir.path());
    WriteFile(liveName, "being extracted");
    std::vector<std::string> before = NamesIn(dir.path());
    ASSERT_EQ(before.size(), 4u);

    files.RemoveDeadTemporaries(dir.path());
    // Sorted as NamesIn sorts: the process number in the live name decides where it falls.
    std::vector<std::string> left{fs::path(liveName).filename().string(), prefix + "-locked",
                                  prefix + "-users00"};
    std::sort(left.begin(), left.end());
    EXPECT_EQ(NamesIn(dir.path()), left);
    // The listing shows the user's file, and leaves out the one being written and the live run's.
    std::vector<FolderEntry> listed;
    ASSERT_TRUE(files.ReadFolder(dir.path(), listed));
    ASSERT_EQ(listed.size(), 2u);
    std::vector<std::string> names{listed[0].name, listed[1].name};
    std::sort(names.begin(), names.end());
    std::vector<std::string> shown{fs::path(liveName).filename().string(), prefix + "-users00"};
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(names, shown) << "another process's live file is not known to this one, and shows";
    std::vector<FolderEntry> own;
    ASSERT_TRUE(live.ReadFolder(dir.path(), own));
    ASSERT_EQ(own.size(), 1u);
    EXPECT_EQ(own[0].name, prefix + "-users00");
    close(held);
}

TEST_F(FileMove, WithinAVolumeRenames) {
    WriteFile(dir / "a", "a");
    WriteFile(dir / "b", "b");
    EXPECT_EQ(files.MoveFile(dir / "a", dir / "b", CopyMode::FailIfExists).code(), EEXIST);
    EXPECT_EQ(ReadFile(dir / "b"), "b");
    ASSERT_TRUE(files.MoveFile(dir / "a", dir / "c", CopyMode::FailIfExists));
    EXPECT_FALSE(fs::exists(dir / "a"));
    ASSERT_TRUE(files.MoveFile(dir / "c", dir / "b", CopyMode::Overwrite));
    EXPECT_EQ(ReadFile(dir / "b"), "a");
    fs::create_directories(dir / "folder" / "inner");
    ASSERT_TRUE(files.MoveFile(dir / "folder", dir / "moved", CopyMode::FailIfExists));
    EXPECT_TRUE(fs::is_directory(dir / "moved" / "inner"));
}

TEST_F(FileMove, AcrossFileSystemsCopiesThenDeletesSource) {
    test::TmpfsMount volume(dir / "vol", "16m");
    DRIVLET_REQUIRE_MOUNT(volume);
    WritePatternFile(volume.path() / "a.bin", 6 << 20, 8);
    WritePatternFile(dir / "expected.bin", 6 << 20, 8);
    SetMTime(volume.path() / "a.bin", 1400000000, 0);

    int calls = 0;
    const FileStatus status =
        files.MoveFile(volume.path() / "a.bin", dir / "a.bin", CopyMode::FailIfExists, [&](int64_t, int64_t) {
            ++calls;
            return true;
        });
    ASSERT_TRUE(status) << status.message();
    EXPECT_GT(calls, 1);
    EXPECT_FALSE(fs::exists(volume.path() / "a.bin"));
    EXPECT_TRUE(test::SameContent(dir / "a.bin", dir / "expected.bin"));
    EXPECT_EQ(MTime(dir / "a.bin").tv_sec, 1400000000);

    // Cancelled half-way: the source stays, nothing arrives.
    WriteFile(volume.path() / "b", std::string(5 << 20, 'b'));
    EXPECT_EQ(files
                  .MoveFile(volume.path() / "b", dir / "b", CopyMode::Overwrite,
                            [](int64_t d, int64_t) { return d == 0; })
                  .code(),
              ECANCELED);
    EXPECT_TRUE(fs::exists(volume.path() / "b"));
    EXPECT_FALSE(fs::exists(dir / "b"));
    EXPECT_FALSE(HasTempFile(dir.path()));

    fs::create_directory(volume.path() / "folder");
    EXPECT_EQ(files.MoveFile(volume.path() / "folder", dir / "folder", CopyMode::Overwrite).code(), EXDEV);
}

TEST_F(FileDelete, RemovesFilesAndReportsWhyNot) {
    WriteFile(dir / "a", "a");
    chmod((dir / "a").c_str(), 0444);
    ASSERT_TRUE(files.DeleteFile(dir / "a"));
    EXPECT_FALSE(fs::exists(dir / "a"));
    EXPECT_EQ(files.DeleteFile(dir / "a").message(), "No such file or directory");
    fs::create_directory(dir / "d");
    EXPECT_FALSE(files.DeleteFile(dir / "d"));
    WriteFile(dir / "d" / "x", "x");
    EXPECT_EQ(files.RemoveFolder(dir / "d").code(), ENOTEMPTY);
    ASSERT_TRUE(files.CreateFolders(dir / "e" / "f" / "g"));
    EXPECT_TRUE(files.CreateFolders(dir / "e" / "f"));
    EXPECT_EQ(files.CreateFolders(dir / "d" / "x").code(), ENOTDIR);
    EXPECT_TRUE(files.RemoveFolder(dir / "e" / "f" / "g"));
}

} // namespace
} // namespace drivlet
