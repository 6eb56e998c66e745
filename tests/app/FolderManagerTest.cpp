#include "core/app/PortableFileAttributes.h"
#include "core/app/ProgramFolders.h"
#include "core/app/TFolderManager.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

// Attributes kept in a table, so that a test can give a folder any bits and see what is set.
class FakeAttributes final : public IFileAttributes {
public:
    mutable std::map<std::string, uint32_t> table;
    mutable std::vector<std::pair<std::string, uint32_t>> set;
    bool setSucceeds = true;

    std::optional<uint32_t> GetAttributes(const fs::path& path) const override {
        if (const auto it = table.find(path.string()); it != table.end()) return it->second;
        std::error_code ec;
        if (fs::is_directory(path, ec)) return fa::Directory;
        return std::nullopt;
    }
    bool SetAttributes(const fs::path& path, uint32_t attributes) const override {
        set.emplace_back(path.string(), attributes);
        if (!setSucceeds) return false;
        table[path.string()] = attributes;
        return true;
    }
};

TEST(FileAttributes, MaskFollowsEveryFlag) {
    TFileAttributes a;
    EXPECT_TRUE(a.Archive());
    EXPECT_FALSE(a.Hidden() || a.Indexed() || a.ReadOnlyFolder() || a.System() || a.Temporary());
    EXPECT_EQ(a.Mask(), 0x2020u); // archive, and not content-indexed since Indexed is off
    a.SetIndexed(true);
    EXPECT_EQ(a.Mask(), 0x20u);
    a.SetArchive(false);
    EXPECT_EQ(a.Mask(), 0x0u);
    a.SetReadOnlyFolder(true);
    EXPECT_EQ(a.Mask(), 0x1u);
    a.SetTemporary(true);
    EXPECT_EQ(a.Mask(), 0x101u);
    a.SetReadOnlyFolder(false);
    a.SetTemporary(false);
    a.SetIndexed(false);
    EXPECT_EQ(a.Mask(), 0x2000u);
}

TEST(FileAttributes, ProgramFoldersAreHiddenSystemAndIndexed) {
    TDirConfigItems items;
    AddProgramFolders(items);
    ASSERT_EQ(items.Count(), 3);
    const char* names[] = {"AutoFill", "ErrorLogs", "ConfigData"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(items[i].Caption(), names[i]);
        EXPECT_EQ(items[i].Dir(), names[i]);
        EXPECT_TRUE(items[i].InWorkDir());
        EXPECT_EQ(items[i].FileAttributes().Mask(), 0x26u);
    }
}

TEST(DirConfigItem, DirDecidesInWorkDir) {
    TDirConfigItem item;
    EXPECT_TRUE(item.InWorkDir());
    const std::pair<const char*, bool> cases[] = {
        {"ConfigData", true},
        {"a/b", true},
        {"/home/alice", false},
        {"D:\\X", false},
        {"\\\\server\\share", false},
        {"C:", true},
        {"C:/x", true},
        {"\\single", true},
        {"", true},
        {"x:\\", false},
        {"ab:\\", true},
    };
    for (const auto& [dir, inWorkDir] : cases) {
        item.SetDir(dir);
        EXPECT_EQ(item.InWorkDir(), inWorkDir) << dir;
        EXPECT_EQ(IsAbsoluteFolderPath(dir), !inWorkDir) << dir;
    }
    // Setting the flag afterwards overrides the rule until Dir is set again.
    item.SetDir("/abs");
    item.SetInWorkDir(true);
    EXPECT_TRUE(item.InWorkDir());
    item.SetDir("/abs");
    EXPECT_FALSE(item.InWorkDir());
}

class FolderManagerTest : public ::testing::Test {
protected:
    test::TempDir tmp;
    FakeAttributes attrs;
    TFolderManager manager{attrs, tmp.path()};
    std::string At(const std::string& rel) const { return (tmp.path() / rel).string(); }
};

TEST_F(FolderManagerTest, ResolvePathKeepsAbsolutePathsAndPutsOthersBelowTheBase) {
    EXPECT_EQ(manager.ResolvePath("ConfigData"), At("ConfigData"));
    EXPECT_EQ(manager.ResolvePath("a/b/"), At("a/b/"));
    EXPECT_EQ(manager.ResolvePath("/var/x"), "/var/x");
    EXPECT_EQ(manager.ResolvePath("D:\\X"), "D:\\X");
    EXPECT_EQ(manager.ResolvePath("\\\\server\\share"), "\\\\server\\share");
    TFolderManager slashBase(attrs, tmp.path().string() + "/");
    EXPECT_EQ(slashBase.ResolvePath("x"), At("x"));
}

TEST_F(FolderManagerTest, ForceFolderMakesMissingParentsFirstAndReportsEach) {
    const std::string deep = At("a/b/c");
    manager.ForceFolder(deep);
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_EQ(manager.OutPutList, (Lines{"Directory Created : " + At("a"), "Directory Created : " + At("a/b"),
                                         "Directory Created : " + deep}));
    manager.OutPutList.clear();
    manager.ForceFolder(deep);
    EXPECT_EQ(manager.OutPutList, Lines{"Directory Exists : " + deep});
}

TEST_F(FolderManagerTest, ForceFolderWithTrailingSeparatorOrRelativePath) {
    manager.ForceFolder(At("x/y/"));
    EXPECT_TRUE(fs::is_directory(At("x/y")));
    EXPECT_EQ(manager.OutPutList,
              (Lines{"Directory Created : " + At("x"), "Directory Created : " + At("x/y/")}));
    manager.OutPutList.clear();
    // Relative paths go below the base folder, never the process's current folder.
    manager.ForceFolder("rel/sub");
    EXPECT_TRUE(fs::is_directory(At("rel/sub")));
    EXPECT_EQ(manager.OutPutList, (Lines{"Directory Created : rel", "Directory Created : rel/sub"}));
}

TEST_F(FolderManagerTest, ForceFolderReportsFailuresWithoutRaising) {
    test::WriteFile(tmp / "file", "x");
    EXPECT_NO_THROW(manager.ForceFolder(At("file/sub")));
    EXPECT_EQ(manager.OutPutList, (Lines{"Error Createing Directory : " + At("file"),
                                         "Error Createing Directory : " + At("file/sub")}));
    manager.OutPutList.clear();
    // Drive-letter paths name no place here; nothing may appear in the current folder.
    manager.ForceFolder("D:\\X");
    EXPECT_EQ(manager.OutPutList, Lines{"Error Createing Directory : D:\\X"});
    EXPECT_FALSE(fs::exists("D:\\X"));
}

TEST_F(FolderManagerTest, CreateFoldersSetsTheMaskOnlyWhereNoBitIsShared) {
    manager.DirList = {"plain", At("abs/plain")};
    AddProgramFolders(manager.DirListEx);
    TDirConfigItem& extra = manager.DirListEx.Add("Outside", At("outside"));
    EXPECT_FALSE(extra.InWorkDir());
    extra.FileAttributes().SetReadOnlyFolder(true);
    extra.FileAttributes().SetIndexed(true);
    extra.FileAttributes().SetArchive(false);
    // ErrorLogs carries only the archive bit and ConfigData is hidden already: both share a bit.
    fs::create_directories(At("ErrorLogs"));
    fs::create_directories(At("ConfigData"));
    attrs.table[At("ErrorLogs")] = fa::Directory | fa::Archive;
    attrs.table[At("ConfigData")] = fa::Directory | fa::Hidden;

    manager.CreateFolders();

    for (const char* rel : {"plain", "abs/plain", "AutoFill", "ErrorLogs", "ConfigData", "outside"})
        EXPECT_TRUE(fs::is_directory(At(rel))) << rel;
    EXPECT_EQ(manager.OutPutList, (Lines{
                                      "Directory Created : " + At("plain"),
                                      "Directory Created : " + At("abs"),
                                      "Directory Created : " + At("abs/plain"),
                                      "Directory Created : " + At("AutoFill"),
                                      "Setting Attributes : AutoFill",
                                      "Directory Exists : " + At("ErrorLogs"),
                                      "Directory Exists : " + At("ConfigData"),
                                      "Directory Created : " + At("outside"),
                                      "Setting Attributes : " + At("outside"),
                                  }));
    EXPECT_EQ(attrs.set, (std::vector<std::pair<std::string, uint32_t>>{{At("AutoFill"), 0x26u},
                                                                        {At("outside"), 0x1u}}));
}

TEST_F(FolderManagerTest, CreateFoldersReportsAFailedSetting) {
    attrs.setSucceeds = false;
    manager.DirListEx.Add("Logs", "Logs");
    manager.CreateFolders();
    EXPECT_EQ(manager.OutPutList,
              (Lines{"Directory Created : " + At("Logs"), "Error Setting Attributes : Logs"}));
}

TEST_F(FolderManagerTest, AFolderThatCannotBeMadeGetsNoAttributes) {
    test::WriteFile(tmp / "Logs", "a file in the way");
    manager.DirListEx.Add("Logs", "Logs");
    manager.CreateFolders();
    EXPECT_EQ(manager.OutPutList, Lines{"Error Createing Directory : " + At("Logs")});
    EXPECT_TRUE(attrs.set.empty());
}

TEST(ProgramFolders, CreatesTheRootAndItsThreeFoldersOnceAndLeavesThemAfterwards) {
    test::TempDir tmp;
    FakeAttributes attrs;
    const fs::path root = tmp / "pd/Quorvane/Drivlet";
    const std::string r = root.string();
    EXPECT_EQ(CreateProgramFolders(root, attrs),
              (Lines{"Directory Created : " + (tmp / "pd").string(),
                     "Directory Created : " + (tmp / "pd/Quorvane").string(), "Directory Created : " + r,
                     "Directory Created : " + r + "/AutoFill", "Setting Attributes : AutoFill",
                     "Directory Created : " + r + "/ErrorLogs", "Setting Attributes : ErrorLogs",
                     "Directory Created : " + r + "/ConfigData", "Setting Attributes : ConfigData"}));
    // The second start finds them hidden already and touches nothing.
    attrs.set.clear();
    EXPECT_EQ(CreateProgramFolders(root, attrs),
              (Lines{"Directory Exists : " + r, "Directory Exists : " + r + "/AutoFill",
                     "Directory Exists : " + r + "/ErrorLogs", "Directory Exists : " + r + "/ConfigData"}));
    EXPECT_TRUE(attrs.set.empty());
}

TEST(ProgramFolders, WorksWithTheRealAttributesAndFailsWhenTheRootCannotBeMade) {
    test::TempDir tmp;
    const fs::path root = tmp / "Quorvane/Drivlet";
    EXPECT_NO_THROW(CreateProgramFolders(root, PortableFileAttributes::Instance()));
    for (const char* name : {"AutoFill", "ErrorLogs", "ConfigData"})
        EXPECT_TRUE(fs::is_directory(root / name));
    test::WriteFile(tmp / "blocked", "x");
    EXPECT_THROW(CreateProgramFolders(tmp / "blocked/Quorvane/Drivlet", PortableFileAttributes::Instance()),
                 std::runtime_error);
}

} // namespace
} // namespace drivlet
