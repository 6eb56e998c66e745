// The one tree walk on real folders: what it hands to each hook, what it reports instead of
// passing over (a folder it cannot list, a FIFO), what it keeps quiet about (a folder gone), a
// stop, and the deleted-files store's folder delete built on it.
#include "EngineTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include <sys/stat.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

// The real file service, except that listing the given folders fails with the given errors.
class RefusingFolders final : public ForwardingFileSystem {
public:
    RefusingFolders(const IFileSystem& real, std::map<std::string, int> refused)
        : ForwardingFileSystem(real), refused_(std::move(refused)) {}
    FileStatus ListFolder(const fs::path& folder, const FolderVisitor& visit,
                          ListDetail detail) const override {
        const auto refused = refused_.find(folder.string());
        if (refused != refused_.end()) return FileStatus::FromErrno(refused->second);
        return ForwardingFileSystem::ListFolder(folder, visit, detail);
    }

private:
    std::map<std::string, int> refused_;
};

class FolderWalkTest : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    const std::string root = dir.path().string() + "/tree/";
    std::vector<std::string> seen;

    void MakeTree() {
        WriteFile(root + "a.txt", "a");
        WriteFile(root + "sub/b.txt", "b");
        WriteFile(root + "locked/c.txt", "c");
        fs::create_directories(root + "gone");
        ASSERT_EQ(mkfifo((root + "sub/pipe").c_str(), 0644), 0);
        fs::create_directory_symlink(root + "sub", root + "linked");
    }
    // Every hook writes what it was given into `seen`.
    FolderWalk::Steps Recording(const IFileSystem& service) {
        FolderWalk::Steps steps;
        const auto rel = [this](const std::string& path) { return path.substr(root.size()); };
        steps.list = [&service](const std::string& folder, std::vector<FolderEntry>& entries) {
            const FileStatus status = service.ReadFolder(folder, entries);
            std::sort(entries.begin(), entries.end(),
                      [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
            return status;
        };
        steps.begin = [=, this](const std::string& folder, const std::vector<FolderEntry>& entries) {
            seen.push_back("begin " + rel(folder) + " " + std::to_string(entries.size()));
        };
        steps.left = [=, this](const std::string& sub, const FolderEntry&) {
            seen.push_back("left " + rel(sub));
        };
        steps.file = [=, this](const std::string& folder, const FolderEntry& e) {
            seen.push_back("file " + rel(folder) + e.name);
        };
        steps.special = [=, this](const std::string& folder, const FolderEntry& e) {
            seen.push_back("special " + rel(folder) + e.name + " " + std::string(SpecialKindText(e.special)));
        };
        steps.unlisted = [=, this](const std::string& folder, const FileStatus& status) {
            seen.push_back("unlisted " + rel(folder) + " " + status.message());
        };
        steps.end = [=, this](const std::string& folder, std::vector<FolderEntry>& entries) {
            seen.push_back("end " + rel(folder) + " " + std::to_string(entries.size()));
        };
        return steps;
    }
};

TEST_F(FolderWalkTest, HandsEveryEntryToItsHookAndNeverPassesOverAFolderItCannotList) {
    MakeTree();
    RefusingFolders refusing(files, {{root + "locked/", EACCES}, {root + "gone/", ENOENT}});
    ASSERT_TRUE(FolderWalk({}).Run(root, Recording(refusing)));
    EXPECT_EQ(seen, (std::vector<std::string>{
                        "begin  5",
                        "file a.txt",
                        // a folder gone since its parent was listed holds nothing to leave out
                        "left gone/",
                        // the linked folder is not entered by default
                        "unlisted locked/ Permission denied",
                        "left locked/",
                        "begin sub/ 2",
                        "file sub/b.txt",
                        "special sub/pipe a FIFO",
                        "end sub/ 2",
                        "left sub/",
                        "end  5",
                    }));
}

TEST_F(FolderWalkTest, ARootThatCannotBeListedIsReportedAndAnswersFalse) {
    MakeTree();
    RefusingFolders refusing(files, {{root, ENAMETOOLONG}});
    EXPECT_FALSE(FolderWalk({}).Run(root, Recording(refusing)));
    EXPECT_EQ(seen, std::vector<std::string>{"unlisted  File name too long"});
}

TEST_F(FolderWalkTest, AStopEndsTheWalkWithoutAnyClosingHook) {
    MakeTree();
    FolderWalk::Steps steps = Recording(files);
    bool stop = false;
    steps.file = [&](const std::string&, const FolderEntry& e) {
        seen.push_back("file " + e.name);
        stop = e.name == "b.txt";
    };
    FolderWalk([&] { return stop; }).Run(root, steps);
    // The folders finished before the stop were closed; the one it stopped in and its parents not.
    EXPECT_EQ(seen.back(), "file b.txt");
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "end gone/ 0"), 1);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "end sub/ 2"), 0);
    EXPECT_EQ(std::count(seen.begin(), seen.end(), "end  5"), 0);
}

TEST_F(FolderWalkTest, ListedEntryOfTellsAFifoFromAFileAndMissesWhatIsNotThere) {
    MakeTree();
    const std::optional<FolderEntry> pipe = ListedEntryOf(files, root + "sub/pipe");
    ASSERT_TRUE(pipe);
    EXPECT_EQ(pipe->special, SpecialKind::Fifo);
    const std::optional<FolderEntry> file = ListedEntryOf(files, root + "sub/b.txt");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->special, SpecialKind::None);
    EXPECT_FALSE(ListedEntryOf(files, root + "sub/none"));
}

TEST_F(FolderWalkTest, TheFolderDeleteNamesWhatItCouldNotListAndLeavesAFifo) {
    MakeTree();
    RefusingFolders refusing(files, {{root + "locked/", EACCES}});
    ManualClock clock{EncodeDateTime({2010, 8, 16, 14, 5, 0, 0})};
    RecordingEvents events;
    ProbeThread thread(ThreadServices{refusing, clock});
    thread.SetEvents(&events);
    thread.RunBody([&](ProbeThread& t) { t.FileOps().DeleteFolder(root); });
    std::vector<std::string> failed;
    for (const LogEntryEvent& e : events.logs)
        if (e.isError) failed.push_back(e.action + "|" + e.fileName + "|" + e.status);
    std::sort(failed.begin(), failed.end());
    EXPECT_EQ(failed, (std::vector<std::string>{
                          "Delete File|" + root + "sub/pipe|Left alone: a FIFO is not a regular file",
                          "Read Folder|" + root +
                              "locked/|Folder not read, what it holds is left out: "
                              "Permission denied",
                      }));
    EXPECT_TRUE(fs::exists(root + "locked/c.txt"));
    EXPECT_FALSE(fs::exists(root + "a.txt"));
    EXPECT_FALSE(fs::exists(root + "sub/b.txt"));
    EXPECT_TRUE(fs::exists(fs::symlink_status(root + "sub/pipe")));
}

} // namespace
