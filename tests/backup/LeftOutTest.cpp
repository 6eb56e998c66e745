// What a backup cannot take is named in the log as a failure, never passed over: a folder its
// user may not read, a folder whose path is too long for the system, FIFOs and sockets, which
// are never opened (a FIFO would keep the zip backup waiting for ever), and a second name that a
// destination without letter case (FAT) would take for the first.
#include "ZipFixture.h"

#include "core/text/CaseFold.h"
#include "support/AsNobody.h"

#include <chrono>
#include <future>
#include <sstream>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

// A chain of folders whose path passes 4,096 bytes, with a file at its end; made and removed
// through descriptors, since no call takes its whole path.
class DeepChain {
public:
    static constexpr int kLevels = 22;

    explicit DeepChain(std::string parent) : parent_(std::move(parent)) {
        int fd = ::open(parent_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        std::string path = parent_;
        for (int i = 0; i < kLevels && fd >= 0; ++i) {
            ::mkdirat(fd, Name(i).c_str(), 0755);
            const int next = ::openat(fd, Name(i).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::close(fd);
            fd = next;
            path += Name(i) + "/";
            if (path.size() >= 4096 && firstTooLong.empty()) firstTooLong = path;
        }
        if (fd < 0) return;
        const int file = ::openat(fd, "deep.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (file >= 0) {
            made = ::write(file, "deep", 4) == 4;
            ::close(file);
        }
        ::close(fd);
    }
    ~DeepChain() {
        std::vector<int> fds{::open(parent_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
        for (int i = 0; i < kLevels && fds.back() >= 0; ++i)
            fds.push_back(::openat(fds.back(), Name(i).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (fds.back() >= 0) ::unlinkat(fds.back(), "deep.txt", 0);
        for (int i = static_cast<int>(fds.size()) - 2; i >= 0; --i) {
            if (fds[i + 1] >= 0) ::close(fds[i + 1]);
            if (fds[i] >= 0) ::unlinkat(fds[i], Name(i).c_str(), AT_REMOVEDIR);
        }
        if (fds.front() >= 0) ::close(fds.front());
    }

    bool made = false;
    std::string firstTooLong; // the first folder of the chain whose path is too long, with "/"

private:
    static std::string Name(int level) { return std::string(200, static_cast<char>('a' + level % 26)); }
    std::string parent_;
};

// Tells the test when the job has ended, so that a hang fails the test instead of stopping it.
struct EndingEvents : RecordingEvents {
    std::promise<void> ended;
    void OnTerminated(TThreadBase& sender, const TerminatedEvent& e) override {
        RecordingEvents::OnTerminated(sender, e);
        ended.set_value();
    }
};

class LeftOutTest : public ZipFixture {
protected:
    std::string MakeFifo(const std::string& path) {
        fs::create_directories(fs::path(path).parent_path());
        EXPECT_EQ(::mkfifo(path.c_str(), 0644), 0);
        return path;
    }
    std::string MakeSocket(const std::string& path) {
        fs::create_directories(fs::path(path).parent_path());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
        return path;
    }
    // Runs the job; a job still running after a generous while has hung on `fifo`, which is then
    // given a writer so that the job (and the test) can end.
    void RunOrUnblock(TThreadBase& job, const std::string& fifo) {
        auto sink = std::make_unique<EndingEvents>();
        std::future<void> ended = sink->ended.get_future();
        job.SetEvents(sink.get());
        job.Start();
        const bool finished = ended.wait_for(std::chrono::minutes(2)) == std::future_status::ready;
        if (!finished) {
            job.Terminate();
            const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
            if (writer >= 0) ::close(writer);
        }
        job.WaitFor();
        events = std::move(sink);
        EXPECT_TRUE(finished) << "the job hung on the FIFO";
    }
    // The failed lines of the last run, as "action|file|status".
    std::vector<std::string> Failures() const {
        std::vector<std::string> out;
        for (const LogEntryEvent& e : events->logs)
            if (e.isError) out.push_back(e.action + "|" + e.fileName + "|" + e.status);
        return out;
    }
};

// The log lines of a run, one "action|error|file|status" a line, to come back from a child.
std::string LogText(const RecordingEvents& events) {
    std::ostringstream out;
    for (const LogEntryEvent& e : events.logs)
        out << e.action << "|" << (e.isError ? "failed" : "done") << "|" << e.fileName << "|" << e.status
            << "\n";
    return out.str();
}

TEST_F(LeftOutTest, AFolderItsUserMayNotReadIsAFailedLineInFolderAndZipBackups) {
    MakeTree();
    const std::string closed = source + "closed/";
    Make(closed + "inside.txt", "kept from nobody");
    OpenToEveryone(dir.path());
    fs::permissions(closed, fs::perms(0311));
    const std::optional<std::string> output = RunAsNobody([&] {
        RunMode(TArchiveMode::amIncremental, dest);
        std::string text = "copy\n" + LogText(*events);
        RunZip(TArchiveMode::amIncremental, root + "Zipped/");
        return text + "zip\n" + LogText(*events);
    });
    if (!output) GTEST_SKIP() << "cannot become the user nobody here, and root reads every folder";
    const std::string line = "Read Folder|failed|" + closed +
                             "|Folder not read, what it holds is left out: "
                             "Permission denied\n";
    const std::size_t zipPart = output->find("zip\n");
    ASSERT_NE(zipPart, std::string::npos) << *output;
    EXPECT_NE(output->substr(0, zipPart).find(line), std::string::npos) << *output;
    EXPECT_NE(output->substr(zipPart).find(line), std::string::npos) << *output;
    // The rest of the tree is taken as ever.
    EXPECT_EQ(ReadFile(dest + EntryOf(source) + "sub/deep/c.txt"), "charlie");
    EXPECT_EQ(ReadEntry(root + "Zipped/Root.Zip", EntryOf(source) + "sub/b.txt"), "bravo");
}

TEST_F(LeftOutTest, AFolderWhosePathIsTooLongIsAFailedLineOnce) {
    MakeTree();
    DeepChain chain(source + "sub/");
    ASSERT_TRUE(chain.made);
    ASSERT_FALSE(chain.firstTooLong.empty());
    const std::string expected = "Read Folder|" + chain.firstTooLong +
                                 "|Folder not read, what it holds is left out: File name too long";

    RunMode(TArchiveMode::amIncremental, dest);
    EXPECT_EQ(Failures(), std::vector<std::string>{expected});
    EXPECT_EQ(ReadFile(dest + EntryOf(source) + "sub/b.txt"), "bravo");

    RunZip(TArchiveMode::amIncremental, root + "Zipped/");
    EXPECT_EQ(Failures(), std::vector<std::string>{expected});
    EXPECT_EQ(ReadEntry(root + "Zipped/Root.Zip", EntryOf(source) + "a.txt"), "alpha");
}

TEST_F(LeftOutTest, FifosAndSocketsAreLeftAloneWithAFailedLineByTheFolderCopy) {
    MakeTree();
    const std::string fifo = MakeFifo(source + "sub/pipe");
    const std::string socket = MakeSocket(source + "sock");
    auto job = MakeJob(TArchiveMode::amIncremental, dest);
    RunOrUnblock(*job, fifo);
    std::vector<std::string> failures = Failures();
    std::sort(failures.begin(), failures.end());
    EXPECT_EQ(failures, (std::vector<std::string>{
                            "Copy File|" + socket + "|Left alone: a socket is not a regular file",
                            "Copy File|" + fifo + "|Left alone: a FIFO is not a regular file",
                        }));
    EXPECT_FALSE(fs::exists(fs::symlink_status(dest + EntryOf(fifo))));
    EXPECT_EQ(ReadFile(dest + EntryOf(source) + "sub/b.txt"), "bravo");
    EXPECT_EQ(LastStatus(), "Finished !");
    EXPECT_EQ(events->statuses.back().percent, 100);
}

TEST_F(LeftOutTest, AFifoNeitherHangsTheZipBackupNorGoesIntoTheArchive) {
    MakeTree();
    const std::string fifo = MakeFifo(source + "sub/pipe");
    const std::string single = MakeFifo(root + "single-pipe");
    auto job = MakeZipJob(TArchiveMode::amIncremental, dest);
    job->SetFileList({single});
    RunOrUnblock(*job, fifo);
    std::vector<std::string> failures = Failures();
    std::sort(failures.begin(), failures.end());
    EXPECT_EQ(failures, (std::vector<std::string>{
                            "Zip File|" + fifo + "|Left alone: a FIFO is not a regular file",
                            "Zip File|" + single + "|Left alone: a FIFO is not a regular file",
                        }));
    const auto entries = Entries(archive);
    EXPECT_EQ(entries.count(EntryOf(fifo)), 0u);
    EXPECT_EQ(ReadEntry(archive, EntryOf(source) + "sub/deep/c.txt"), "charlie");
    EXPECT_EQ(LastStatus(), "Finished !");
}

// A destination that takes "README.TXT" for "readme.txt", as FAT does.
class CaseFoldingDestination final : public ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    bool FoldsLetterCase(const std::filesystem::path&) const override { return true; }
};

TEST_F(LeftOutTest, ANameTheDestinationFoldsOntoAnotherIsAFailedLineNamingBoth) {
    Make(source + "readme.txt", "lower");
    Make(source + "README.TXT", "upper");
    Make(source + "Sub/a.txt", "a");
    Make(source + "sub/b.txt", "b");
    const CaseFoldingDestination folding(files);
    auto job = std::make_unique<TCopyFolderThread>(ThreadServices{folding, clock});
    job->SetDatabaseFile(database);
    job->SetArchiveMode(TArchiveMode::amIncremental);
    job->SetArchiveFolder(dest);
    job->SetFolderList({source});
    Run(*job);
    const std::vector<std::string> failures = Failures();
    ASSERT_EQ(failures.size(), 2u) << ::testing::PrintToString(failures);
    int fileLines = 0, folderLines = 0;
    for (const std::string& failure : failures) {
        const bool file = failure.starts_with("Copy File|");
        (file ? fileLines : folderLines) += 1;
        EXPECT_NE(failure.find("does not tell letter case apart"), std::string::npos) << failure;
        // The line names the one copied and the one left out.
        EXPECT_NE(LowerCase(failure).find(file ? "readme.txt|" : "sub|"), std::string::npos) << failure;
        EXPECT_NE(LowerCase(failure).find(file ? "readme.txt has" : "sub has"), std::string::npos) << failure;
    }
    EXPECT_EQ(fileLines, 1);
    EXPECT_EQ(folderLines, 1);
    // Exactly one of each pair went, whole.
    EXPECT_NE(fs::exists(dest + EntryOf(source) + "readme.txt"),
              fs::exists(dest + EntryOf(source) + "README.TXT"));
}

} // namespace
