// The temporary files of copies are never the user's files: a sync neither pairs nor carries them,
// and it removes those that killed runs left in the folders it walks, on both sides, while those
// of a copy still being written stay.
#include "SyncRunSupport.h"

#include <algorithm>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class SyncTempFilesTest : public SyncRunFixture {
protected:
    // The id of a process that has ended.
    static pid_t DeadPid() {
        const pid_t child = fork();
        if (child == 0) _exit(0);
        int status = 0;
        waitpid(child, &status, 0);
        return child;
    }
    static std::string TempName(pid_t pid, const std::string& suffix) {
        return std::string(kTemporaryPrefix) + std::to_string(pid) + "-" + suffix;
    }
    // Every name below a folder that begins with the temporary prefix.
    static std::vector<std::string> TempFilesBelow(const std::string& folder) {
        std::vector<std::string> found;
        for (const auto& e : fs::recursive_directory_iterator(folder))
            if (e.path().filename().string().starts_with(kTemporaryPrefix)) found.push_back(e.path().string());
        std::sort(found.begin(), found.end());
        return found;
    }

    const pid_t dead = DeadPid();
    std::string deadOnDrive = drive + "Docs/sub/" + TempName(dead, "00000000deadbeef");
    std::string deadOnPc = pc + "Docs/" + TempName(dead, "00000000feedface");
    std::string liveOnDrive = drive + "Docs/" + TempName(getpid(), "00000000cafef00d");
    int liveFd = -1;

    // A half-written copy of a killed run on each side (as an earlier sync that carried one over
    // left it), and one a copy of this process is writing now, locked as the copy locks it.
    void MakeLeftovers() {
        Make(deadOnDrive, "half a photo", Day(1));
        Make(deadOnPc, "half a photo", Day(1));
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

TEST_F(SyncTempFilesTest, AreNeitherSyncedNorKeptWhenTheirRunIsDead) {
    Make(drive + "Docs/sub/a.txt", "a", Day(1));
    MakeLeftovers();
    auto thread = Bidi();
    EXPECT_EQ(LastStatus(), "Finished !");
    EXPECT_EQ(ReadFile(pc + "Docs/sub/a.txt"), "a");
    ASSERT_EQ(thread->GetFilePairs().Count(), 1u);
    ASSERT_EQ(hooked.logs.size(), 1u);
    EXPECT_EQ(hooked.logs[0].fileName, drive + "Docs/sub/a.txt");
    // Only the live one is left, where it was.
    EXPECT_EQ(TempFilesBelow(pc), std::vector<std::string>{});
    EXPECT_EQ(TempFilesBelow(drive), std::vector<std::string>{liveOnDrive});
    EXPECT_EQ(RowCount(), 1);

    // At the next run the live copy is still not the user's file.
    thread = Bidi();
    EXPECT_EQ(thread->Counters().FilesTotal, 0);
    EXPECT_EQ(TempFilesBelow(pc), std::vector<std::string>{});
}

TEST_F(SyncTempFilesTest, ADryRunListsNone) {
    MakeLeftovers();
    auto thread = Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, [&](TSyncFolderThread& t) {
        t.SetDryRun(true);
        t.FolderItems.AddItem("/Docs/", pc + "Docs/", true);
    });
    EXPECT_EQ(thread->GetFilePairs().Count(), 0u);
}
