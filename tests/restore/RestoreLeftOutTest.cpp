// What a folder restore cannot take from the backup is named in the log as a failure: a FIFO
// found among the backup's files is never opened.
#include "RestoreFixture.h"

#include <sys/stat.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class RestoreLeftOutTest : public RestoreFixture {
protected:
    std::vector<std::string> Failures() const {
        std::vector<std::string> out;
        for (const LogEntryEvent& e : events->logs)
            if (e.isError) out.push_back(e.action + "|" + e.fileName + "|" + e.status);
        return out;
    }
};

TEST_F(RestoreLeftOutTest, AFifoInAFolderBackupIsLeftAloneWithAFailedLine) {
    Make(dest + "tree/a.txt", "a");
    Record("/tree/a.txt");
    ASSERT_EQ(::mkfifo((dest + "tree/pipe").c_str(), 0644), 0);
    const std::string out = root + "Out/";
    auto job = MakeRestore<TRestoreFolderThread>(dest, out);
    job->SetFolderList({dest + "tree/"});
    RunJob(*job);
    EXPECT_EQ(Failures(), std::vector<std::string>{"Copy File|" + dest + "tree/pipe|Left alone: a FIFO is not a "
                                                                         "regular file"});
    EXPECT_EQ(ReadFile(out + "tree/a.txt"), "a");
    EXPECT_FALSE(fs::exists(fs::symlink_status(out + "tree/pipe")));
}

} // namespace
