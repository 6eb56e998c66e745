// Jobs destroyed in the middle of their run: a worker held inside one of its own events while its
// object is destroyed must be stopped before any member it uses goes, and a job owned by a
// JobRun is cancelled and joined when the owner goes. Nothing is ever left half-written
// under a real name, and the sources are untouched.
#include "core/engine/sync/TSyncFolderThread.h"
#include "core/launch/JobRun.h"
#include "restore/RestoreFixture.h"

#include <condition_variable>
#include <future>

using namespace drivlet;
using namespace drivlet::test;
using namespace std::chrono_literals;

namespace {

namespace fs = std::filesystem;

constexpr int kFiles = 300;

// Holds the worker inside the first event whose line starts with `stopAt`, tells the test, and
// lets the worker go only once it has been asked to terminate: the object is being destroyed
// while its body still runs.
class GateEvents final : public RecordingEvents {
public:
    explicit GateEvents(std::string stopAt) : stopAt_(std::move(stopAt)) {}

    std::future<void> Reached() { return reached_.get_future(); }
    void Open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        opened_.notify_all();
    }

    void OnStatus(const TThreadBase& s, const StatusEvent& e) override {
        RecordingEvents::OnStatus(s, e);
        Hold("status " + e.text);
    }
    void OnLogEntry(const TThreadBase& s, const LogEntryEvent& e) override {
        RecordingEvents::OnLogEntry(s, e);
        Hold("log " + e.action);
    }

private:
    void Hold(const std::string& line) {
        if (fired_ || !line.starts_with(stopAt_)) return;
        fired_ = true;
        reached_.set_value();
        std::unique_lock lock(mutex_);
        opened_.wait(lock, [&] { return open_; });
    }

    std::string stopAt_;
    bool fired_ = false;
    std::promise<void> reached_;
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

class DestroyWhileRunningTest : public RestoreFixture {
protected:
    const std::string restored = root + "restored/";
    std::vector<std::string> sources;

    DestroyWhileRunningTest() {
        for (int i = 0; i < kFiles; ++i) {
            const std::string path =
                source + "f" + std::to_string(i / 50) + "/file" + std::to_string(i) + ".txt";
            Make(path, std::string(4096 + i, static_cast<char>('a' + i % 26)));
            sources.push_back(path);
        }
    }

    // A folder-copy or zip backup of the tree, run to its end.
    void BackUp(bool zip) {
        if (zip) {
            RunZip(TArchiveMode::amIncremental, dest);
        } else {
            RunMode(TArchiveMode::amIncremental, dest);
        }
        ASSERT_TRUE(events->errors.empty());
    }

    // Holds the bare worker in its first event starting with `stopAt`, then destroys it there.
    void DestroyHeld(std::unique_ptr<TThreadBase> worker, const std::string& stopAt) {
        GateEvents gate(stopAt);
        worker->SetEvents(&gate);
        worker->AddTerminateListener([&gate] { gate.Open(); });
        std::future<void> reached = gate.Reached();
        worker->Start();
        const bool held = reached.wait_for(120s) == std::future_status::ready;
        EXPECT_TRUE(held) << "the run never reached " << stopAt;
        if (held) {
            EXPECT_FALSE(worker->Finished());
        }
        worker.reset();
        // It was held in the middle of real work, not in a failure; only the file in hand may
        // have been cancelled.
        EXPECT_TRUE(gate.errors.empty());
        ExpectOnlyCancelled(gate.logs);
    }

    // Owns the worker through a JobRun, drains until the first line starting with `stopAt`,
    // then destroys the owner.
    void DestroyOwned(std::unique_ptr<TThreadBase> worker, const std::string& stopAt) {
        RecordingEvents sink;
        auto job = std::make_unique<JobRun>(JobKind::Backup, "", &sink);
        worker->SetEvents(&job->Queue());
        job->Adopt(std::move(worker));
        job->Start();
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        const auto seen = [&] {
            for (const std::string& line : sink.lines)
                if (line.starts_with(stopAt)) return true;
            return false;
        };
        while (!seen() && !job->Ended()) {
            ASSERT_TRUE(job->Queue().WaitForEvents(deadline)) << "the run never reached " << stopAt;
            job->Drain();
        }
        job.reset();
        EXPECT_TRUE(sink.errors.empty());
        ExpectOnlyCancelled(sink.logs);
    }

    static void ExpectOnlyCancelled(const std::vector<LogEntryEvent>& logs) {
        for (const LogEntryEvent& e : logs)
            if (e.isError) {
                EXPECT_EQ(e.status, "Operation canceled") << e.action << " " << e.fileName;
            }
    }

    // Every file the run put under a real name is whole; the sources are as they were.
    void ExpectNothingHalfDone(const std::string& below, const std::string& mappedRoot) {
        for (int i = 0; i < kFiles; ++i) {
            const std::string expected(4096 + i, static_cast<char>('a' + i % 26));
            EXPECT_EQ(ReadFile(sources[i]), expected);
            const std::string copy = mappedRoot + sources[i].substr(1);
            if (Exists(copy)) {
                EXPECT_EQ(ReadFile(copy), expected) << copy;
            }
        }
        // A temporary file the run was writing when it stopped goes with the run.
        if (!Exists(below)) return;
        for (const auto& entry : fs::recursive_directory_iterator(below))
            EXPECT_FALSE(IsTemporaryName(entry.path().filename().string())) << entry.path();
    }
    void ExpectWholeArchive() {
        if (!Exists(archive)) return;
        ZipReader reader;
        EXPECT_TRUE(reader.Open(archive, {}));
    }

    std::unique_ptr<TThreadBase> FolderCopy() { return MakeJob(TArchiveMode::amIncremental, dest); }
    std::unique_ptr<TThreadBase> ZipBackup() { return MakeZipJob(TArchiveMode::amIncremental, dest); }
    // The whole backup, below a chosen folder.
    std::unique_ptr<TThreadBase> FolderRestore() {
        auto worker = MakeRestore<TRestoreFolderThread>(dest, restored);
        worker->SetFolderList({dest + source.substr(1)});
        return worker;
    }
    std::unique_ptr<TThreadBase> ZipRestore() {
        auto worker = MakeRestore<TRestoreZipThread>(dest, restored);
        worker->SetFolderList({dest + "Root.Zip"});
        return worker;
    }
    // A two-way sync whose computer side holds every file and the drive side none.
    std::unique_ptr<TThreadBase> Sync() {
        fs::create_directories(drive + "Docs");
        auto worker = std::make_unique<TSyncFolderThread>(ThreadServices{files, clock});
        worker->SetDatabaseFile(drive + "Config/Docs.Usdb");
        worker->SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
        worker->FolderItems.AddItem("/Docs/", source, true);
        return worker;
    }
    void ExpectSyncedWhole() {
        for (int i = 0; i < kFiles; ++i) {
            const std::string expected(4096 + i, static_cast<char>('a' + i % 26));
            EXPECT_EQ(ReadFile(sources[i]), expected);
            const std::string copy = drive + "Docs/" + sources[i].substr(source.size());
            if (Exists(copy)) {
                EXPECT_EQ(ReadFile(copy), expected) << copy;
            }
        }
    }
};

TEST_F(DestroyWhileRunningTest, AFolderCopyHeldInItsRun) {
    DestroyHeld(FolderCopy(), "log Copy File");
    ExpectNothingHalfDone(dest, dest);
}

TEST_F(DestroyWhileRunningTest, AZipBackupHeldWhileAddingFiles) {
    DestroyHeld(ZipBackup(), "status Adding File");
    ExpectWholeArchive();
    ExpectNothingHalfDone(dest, dest);
}

TEST_F(DestroyWhileRunningTest, AFolderRestoreHeldInItsRun) {
    BackUp(false);
    DestroyHeld(FolderRestore(), "status File : ");
    ExpectNothingHalfDone(restored, restored);
}

TEST_F(DestroyWhileRunningTest, AZipRestoreHeldInItsRun) {
    BackUp(true);
    // Held before its first entry is extracted: the entry lives in the worker's own members.
    DestroyHeld(ZipRestore(), "status File : ");
    ExpectNothingHalfDone(restored, restored);
}

TEST_F(DestroyWhileRunningTest, ASyncHeldInItsRun) {
    DestroyHeld(Sync(), "log ");
    ExpectSyncedWhole();
}

TEST_F(DestroyWhileRunningTest, OwnedFolderCopyAfterItsFirstLogLine) {
    DestroyOwned(FolderCopy(), "log Copy File");
    ExpectNothingHalfDone(dest, dest);
}

TEST_F(DestroyWhileRunningTest, OwnedZipBackupWhileAddingFiles) {
    DestroyOwned(ZipBackup(), "status Adding File");
    ExpectWholeArchive();
    ExpectNothingHalfDone(dest, dest);
}

TEST_F(DestroyWhileRunningTest, OwnedFolderRestoreAfterItsFirstLogLine) {
    BackUp(false);
    DestroyOwned(FolderRestore(), "log Copy File");
    ExpectNothingHalfDone(restored, restored);
}

TEST_F(DestroyWhileRunningTest, OwnedZipRestoreAfterItsFirstLogLine) {
    BackUp(true);
    DestroyOwned(ZipRestore(), "log UnZip File");
    ExpectNothingHalfDone(restored, restored);
}

TEST_F(DestroyWhileRunningTest, OwnedSyncAfterItsFirstLogLine) {
    DestroyOwned(Sync(), "log ");
    ExpectSyncedWhole();
}

} // namespace
