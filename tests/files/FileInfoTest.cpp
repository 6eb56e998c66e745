// What the file service reads about files: times, attributes, listings, space.
#include "files/FileTestSupport.h"
#include "platform/LocalTime.h"
#include "platform/linux/LinuxFileSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>

#include <fcntl.h>
#include <sys/stat.h>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using FileTimes = test::FileServiceTest;
using FileAttributesOnLinux = test::FileServiceTest;
using FolderListing = test::FileServiceTest;
using DiskSpaceOnLinux = test::FileServiceTest;
using test::WriteFile;

void SetMTimeLocal(const fs::path& p, const DateParts& parts) {
    using namespace std::chrono;
    const auto ns = duration_cast<nanoseconds>(FromLocalDateTime(EncodeDateTime(parts)).time_since_epoch());
    const struct timespec times[2] = {
        {0, UTIME_OMIT},
        {static_cast<time_t>(ns.count() / 1000000000), static_cast<long>(ns.count() % 1000000000)}};
    ASSERT_EQ(utimensat(AT_FDCWD, p.c_str(), times, 0), 0);
}

TEST_F(FileTimes, ReadBackInTheTwoSecondLocalForm) {
    WriteFile(dir / "odd", "x");
    WriteFile(dir / "even", "x");
    SetMTimeLocal(dir / "odd", {2024, 5, 6, 10, 20, 31, 700});
    SetMTimeLocal(dir / "even", {2024, 5, 6, 10, 20, 30, 0});
    const TDateTime expected = EncodeDateTime({2024, 5, 6, 10, 20, 30, 0});
    EXPECT_EQ(files.FileTime(dir / "odd"), expected);
    EXPECT_EQ(files.FileTime(dir / "even"), expected);

    // Setting a value and reading it back gives the same value, and the instant it names.
    const TDateTime set = EncodeDateTime({2011, 12, 31, 23, 59, 58, 0});
    ASSERT_TRUE(files.SetFileTime(dir / "odd", set));
    EXPECT_EQ(files.FileTime(dir / "odd"), set);
    struct stat st {};
    ASSERT_EQ(::stat((dir / "odd").c_str(), &st), 0);
    EXPECT_EQ(std::chrono::system_clock::from_time_t(st.st_mtim.tv_sec), FromLocalDateTime(set));
    EXPECT_EQ(st.st_mtim.tv_nsec, 0);

    // The carried-over time of a copy compares equal, never newer.
    ASSERT_TRUE(files.CopyFile(dir / "even", dir / "copy", CopyMode::Overwrite));
    EXPECT_EQ(files.FileTime(dir / "copy"), files.FileTime(dir / "even"));
}

TEST_F(FileTimes, FoldersAndMissingPathsGiveZero) {
    EXPECT_EQ(files.FileTime(dir.path()), 0);
    EXPECT_EQ(files.FileTime(dir / "missing"), 0);
    EXPECT_EQ(files.SetFileTime(dir / "missing", 40000).code(), ENOENT);
    EXPECT_EQ(files.FileSize(dir / "missing"), -1);
    EXPECT_EQ(files.FileSize(dir.path()), 0);
    WriteFile(dir / "five", "12345");
    EXPECT_EQ(files.FileSize(dir / "five"), 5);
}

TEST_F(FileAttributesOnLinux, ReadOnlyHiddenAndFolder) {
    WriteFile(dir / "plain", "x");
    WriteFile(dir / ".dotted", "x");
    fs::create_directory(dir / ".config");
    EXPECT_EQ(files.GetAttributes(dir / "plain"), 0u);
    EXPECT_EQ(files.GetAttributes(dir / ".dotted"), fa::Hidden);
    EXPECT_EQ(files.GetAttributes(dir / ".config"), fa::Hidden | fa::Directory);
    EXPECT_EQ(files.GetAttributes(dir / ".config/"), fa::Hidden | fa::Directory);
    EXPECT_EQ(files.GetAttributes(dir / "missing"), std::nullopt);

    // Read-only takes every write bit away; clearing it gives the owner's back.
    ASSERT_TRUE(files.SetAttributes(dir / "plain", fa::ReadOnly | fa::Hidden | fa::System | fa::Archive));
    EXPECT_EQ(fs::status(dir / "plain").permissions(), fs::perms(0444));
    EXPECT_EQ(files.GetAttributes(dir / "plain"), fa::ReadOnly);
    ASSERT_TRUE(files.SetAttributes(dir / "plain", 0));
    EXPECT_EQ(fs::status(dir / "plain").permissions(), fs::perms(0644));
    EXPECT_EQ(files.GetAttributes(dir / "plain"), 0u);
    EXPECT_FALSE(files.SetAttributes(dir / "missing", 0));
}

TEST_F(FolderListing, ListsEveryEntryWithDetails) {
    WriteFile(dir / "a.txt", "abc");
    WriteFile(dir / ".hidden", "hidden!");
    fs::create_directory(dir / "sub");
    fs::create_directory(dir / ".hiddendir");
    chmod((dir / "a.txt").c_str(), 0444);
    SetMTimeLocal(dir / "a.txt", {2020, 2, 29, 8, 0, 3, 0});
    fs::create_symlink("a.txt", dir / "link");
    fs::create_directory_symlink("sub", dir / "sublink");
    fs::create_symlink("nowhere", dir / "dangling");

    std::vector<FolderEntry> entries;
    ASSERT_TRUE(files.ReadFolder(dir.path(), entries));
    std::map<std::string, FolderEntry> byName;
    for (const auto& e : entries)
        byName[e.name] = e;
    ASSERT_EQ(byName.size(), 7u);
    EXPECT_EQ(byName["a.txt"].size, 3);
    EXPECT_FALSE(byName["a.txt"].isDirectory);
    EXPECT_EQ(byName["a.txt"].attributes, fa::ReadOnly);
    EXPECT_EQ(byName["a.txt"].time, EncodeDateTime({2020, 2, 29, 8, 0, 2, 0}));
    EXPECT_EQ(byName["a.txt"].time, files.FileTime(dir / "a.txt"));
    EXPECT_EQ(byName[".hidden"].attributes, fa::Hidden);
    EXPECT_EQ(byName[".hidden"].size, 7);
    EXPECT_EQ(byName[".hiddendir"].attributes, fa::Hidden | fa::Directory);
    EXPECT_TRUE(byName["sub"].isDirectory);
    EXPECT_EQ(byName["sub"].size, 0);
    EXPECT_TRUE(byName["link"].isSymlink);
    EXPECT_EQ(byName["link"].size, 3);
    EXPECT_TRUE(byName["sublink"].isSymlink);
    EXPECT_TRUE(byName["sublink"].isDirectory);
    EXPECT_TRUE(byName["dangling"].isSymlink);
    EXPECT_FALSE(byName["dangling"].isDirectory);

    // Names and types only: the same entries and types, nothing else read.
    std::vector<FolderEntry> quick;
    ASSERT_TRUE(files.ReadFolder(dir.path(), quick, ListDetail::NamesAndTypes));
    ASSERT_EQ(quick.size(), entries.size());
    for (const auto& e : quick) {
        EXPECT_EQ(e.isDirectory, byName[e.name].isDirectory) << e.name;
        EXPECT_EQ(e.isSymlink, byName[e.name].isSymlink) << e.name;
        EXPECT_EQ(e.time, 0);
    }
    EXPECT_EQ(byName[".hiddendir"].attributes & (fa::Hidden | fa::Directory), fa::Hidden | fa::Directory);
}

TEST_F(FolderListing, FifosLinksToThemAndDevicesAreMarkedSpecialInBothDetails) {
    WriteFile(dir / "plain", "x");
    ASSERT_EQ(mkfifo((dir / "pipe").c_str(), 0644), 0);
    fs::create_symlink("pipe", dir / "pipelink");
    fs::create_symlink("/dev/null", dir / "nulllink");
    for (const ListDetail detail : {ListDetail::Full, ListDetail::NamesAndTypes}) {
        std::vector<FolderEntry> entries;
        ASSERT_TRUE(files.ReadFolder(dir.path(), entries, detail));
        std::map<std::string, SpecialKind> kinds;
        for (const auto& e : entries)
            kinds[e.name] = e.special;
        EXPECT_EQ(kinds, (std::map<std::string, SpecialKind>{{"plain", SpecialKind::None},
                                                              {"pipe", SpecialKind::Fifo},
                                                              {"pipelink", SpecialKind::Fifo},
                                                              {"nulllink", SpecialKind::Device}}));
    }
}

TEST_F(FolderListing, StopsWhenAskedAndReportsMissingFolder) {
    for (int i = 0; i < 10; ++i)
        WriteFile(dir / ("f" + std::to_string(i)), "x");
    int seen = 0;
    ASSERT_TRUE(files.ListFolder(dir.path(), [&](const FolderEntry&) { return ++seen < 3; }));
    EXPECT_EQ(seen, 3);
    const FileStatus status = files.ListFolder(dir / "missing", [](const FolderEntry&) { return true; });
    EXPECT_EQ(status.code(), ENOENT);
    EXPECT_EQ(status.message(), "No such file or directory");
    EXPECT_EQ(files.ListFolder(dir / "f1", [](const FolderEntry&) { return true; }).code(), ENOTDIR);
}

TEST_F(FolderListing, EntriesRemovedWhileListingAreLeftOut) {
    for (int i = 0; i < 20; ++i)
        WriteFile(dir / ("f" + std::to_string(i)), "x");
    std::vector<std::string> seen;
    ASSERT_TRUE(files.ListFolder(dir.path(), [&](const FolderEntry& e) {
        if (seen.empty())
            for (int i = 0; i < 20; ++i)
                if ("f" + std::to_string(i) != e.name) fs::remove(dir / ("f" + std::to_string(i)));
        seen.push_back(e.name);
        return true;
    }));
    EXPECT_EQ(seen.size(), 1u);
}

TEST_F(DiskSpaceOnLinux, MatchesTheVolumeAndAnswersForPathsToBe) {
    test::TmpfsMount volume(dir / "vol", "1m");
    DRIVLET_REQUIRE_MOUNT(volume);
    DiskSpace space = files.GetDiskSpace(volume.path());
    EXPECT_EQ(space.totalBytes, 1 << 20);
    EXPECT_EQ(space.freeBytes, 1 << 20);
    WriteFile(volume.path() / "half", std::string(512 << 10, 'x'));
    space = files.GetDiskSpace(volume.path() / "not" / "yet" / "there.txt");
    EXPECT_EQ(space.totalBytes, 1 << 20);
    EXPECT_EQ(space.freeBytes, 512 << 10);

    const DiskSpace tmp = files.GetDiskSpace(dir.path());
    EXPECT_GT(tmp.freeBytes, 0);
    EXPECT_LE(tmp.freeBytes, tmp.totalBytes);
}

} // namespace
} // namespace drivlet
