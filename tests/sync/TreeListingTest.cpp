// A side of a folder pair listed ahead of its walk, on real folders.
#include "core/engine/sync/TreeListing.h"
#include "platform/linux/LinuxFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

std::set<std::string> Names(const TreeListing::Folder& listing) {
    std::set<std::string> names;
    for (const FolderEntry& entry : listing.entries)
        names.insert(entry.name);
    return names;
}

TEST(TreeListing, HandsOutEveryFolderOnceAndLeavesOutWhatTheWalkSkips) {
    TempDir dir;
    LinuxFileSystem files;
    const std::string root = (dir / "stick").string() + "/";
    for (int g = 0; g < 20; ++g)
        WriteFile(root + "g" + std::to_string(g) + "/deep/file.txt", "x");
    WriteFile(root + "Config/Job.Usy", "job");
    WriteFile(root + "Twins/Note.txt", "1");
    WriteFile(root + "Twins/NOTE.txt", "2");
    WriteFile(root + "Twins/other.txt", "3");
    fs::create_directory_symlink(root + "g0", root + "linked");

    TreeListing listing(files, root, true, [] { return false; });
    TreeListing::Folder folder;
    ASSERT_TRUE(listing.Take(root, folder));
    EXPECT_TRUE(Names(folder).contains("Config")); // listed, but not walked into
    ASSERT_TRUE(listing.Take(root + "g7/deep/", folder));
    EXPECT_EQ(Names(folder), std::set<std::string>{"file.txt"});
    ASSERT_TRUE(listing.Take(root + "Twins/", folder));
    EXPECT_EQ(folder.twins, std::unordered_set<std::string>{"note.txt"});
    // Not listed ahead (left out, or taken once already): read now, as the walk would.
    WriteFile(root + "g7/deep/later.txt", "y");
    ASSERT_TRUE(listing.Take(root + "g7/deep/", folder));
    EXPECT_EQ(Names(folder), (std::set<std::string>{"file.txt", "later.txt"}));
    ASSERT_TRUE(listing.Take(root + "Config/", folder));
    EXPECT_EQ(Names(folder), std::set<std::string>{"Job.Usy"});
    EXPECT_FALSE(listing.Take(root + "missing/", folder));

    EXPECT_TRUE(TreeListing::IsDriveConfigFolder(root + "CONFIG/", root.size(), true));
    EXPECT_FALSE(TreeListing::IsDriveConfigFolder(root + "Config/", root.size(), false));
    EXPECT_FALSE(TreeListing::IsDriveConfigFolder(root + "g1/Config/", root.size(), true));
}

TEST(TreeListing, ACancelStopsTheListingAndTheWalkReadsWhatItNeeds) {
    TempDir dir;
    LinuxFileSystem files;
    const std::string root = (dir / "pc").string() + "/";
    for (int g = 0; g < 50; ++g)
        WriteFile(root + "g" + std::to_string(g) + "/file.txt", "x");
    {
        TreeListing listing(files, root, false, [] { return true; });
        TreeListing::Folder folder;
        ASSERT_TRUE(listing.Take(root + "g42/", folder));
        EXPECT_EQ(Names(folder), std::set<std::string>{"file.txt"});
    }
    // Given up before it is taken: the destructor stops and waits for the threads.
    TreeListing abandoned(files, root, false, [] { return false; });
}

} // namespace
} // namespace drivlet
