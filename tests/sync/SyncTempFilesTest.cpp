// A name of the temporary form proves nothing: a user's file named so is synced like any other.
// What a killed run noted as its own temporary file goes, on both sides, when a sync walks there;
// a copy still being written is neither paired nor touched.
#include "SyncRunSupport.h"

#include <algorithm>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class SyncTempFilesTest : public SyncRunFixture {
protected:
    static std::string TempName(const std::string& suffix) {
        return std::string(kTemporaryPrefix) + "4242-" + suffix;
    }
    // Every name below a folder that begins with the temporary prefix.
    static std::vector<std::string> TempFilesBelow(const std::string& folder) {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(folder))
            if (e.path().filename().string().starts_with(kTemporaryPrefix))
                found.push_back(e.path().string());
        std::sort(found.begin(), found.end());
        return found;
    }

    std::string usersOnDrive = drive + "Docs/" + TempName("0000000000005e75");
    std::string liveOnDrive = drive + "Docs/" + TempName("00000000cafef00d");
    int liveFd = -1;

    // On each side a half-written file of a run that noted it and was killed, a user's file of
    // the same form on the drive, and a file a copy is writing now, locked as the copy locks it.
    void MakeLeftovers() {
        fs::create_directories(drive + "Docs/sub");
        fs::create_directories(pc + "Docs");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // A process of its own keeps a journal of its own.
            const LinuxFileSystem killed(JournalIn(journal.path()));
            for (const std::string& folder : {drive + "Docs/sub/", pc + "Docs/"})
                WriteFile(killed.TemporaryName(folder), "half a photo");
            raise(SIGKILL);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status));
        ASSERT_EQ(TempFilesBelow(drive + "Docs/sub/").size(), 1u);
        ASSERT_EQ(TempFilesBelow(pc + "Docs/").size(), 1u);
        Make(usersOnDrive, "the user's notes", Day(1));
        Make(liveOnDrive, "being written", Day(1));
        liveFd = open(liveOnDrive.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(liveFd, 0);
        ASSERT_EQ(flock(liveFd, LOCK_EX), 0);
    }
    ~SyncTempFilesTest() override {
        if (liveFd >= 0) close(liveFd);
    }
};

} // namespace

TEST_F(SyncTempFilesTest, NotedLeftoversGoAndAUsersFileOfTheSameFormIsSynced) {
    Make(drive + "Docs/sub/a.txt", "a", Day(1));
    MakeLeftovers();
    auto thread = Bidi();
    EXPECT_EQ(LastStatus(), "Finished !");
    EXPECT_EQ(ReadFile(pc + "Docs/sub/a.txt"), "a");
    EXPECT_EQ(ReadFile(pc + "Docs/" + fs::path(usersOnDrive).filename().string()), "the user's notes");
    ASSERT_EQ(thread->GetFilePairs().Count(), 2u);
    EXPECT_EQ(RowCount(), 2);
    // The killed run's files are gone; the live copy is left where it was.
    EXPECT_EQ(TempFilesBelow(drive + "Docs/sub/"), std::vector<std::string>{});
    EXPECT_EQ(TempFilesBelow(pc),
              std::vector<std::string>{pc + "Docs/" + fs::path(usersOnDrive).filename().string()});
    EXPECT_EQ(TempFilesBelow(drive), (std::vector<std::string>{usersOnDrive, liveOnDrive}));

    // At the next run the live copy is still not the user's file, and nothing is left to do.
    thread = Bidi();
    EXPECT_EQ(thread->Counters().FilesTotal, 0);
    EXPECT_TRUE(Exists(liveOnDrive));
}

TEST_F(SyncTempFilesTest, ADryRunListsOnlyTheUsersFile) {
    MakeLeftovers();
    auto thread = Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, [&](TSyncFolderThread& t) {
        t.SetDryRun(true);
        t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    });
    ASSERT_EQ(thread->GetFilePairs().Count(), 1u);
    EXPECT_EQ(thread->GetFilePairs()[0].FileA.FileName, usersOnDrive);
}
