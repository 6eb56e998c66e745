// Runs one backup or sync job of the real engine, or one outside tool, and prints its wall time and peak
// memory; the scripts beside it make the trees and compare the figures.
//   bench_backup tree <folder> <files> <max file bytes> [large files] [large file MiB]
//   bench_backup copy <source folder> <archive folder> <database file>
//   bench_backup zip <source folder> <archive folder> <database file>
//   bench_backup copy-queued <source folder> <archive folder> <database file>
//       (the folder copy with its events queued and drained on another thread, as a front end's
//       loop takes them, instead of handled on the worker)
//   bench_backup sync <drive folder> <drive-relative folder> <computer folder>
//   bench_backup run <program> [arguments...]
// Every timed command prints one line:
//   seconds <wall> peak_kib <peak RSS> files <done> errors <n> cpu <user + system seconds>
#include "BenchSupport.h"
#include "core/engine/ThreadEvents.h"
#include "core/engine/backup/TCopyFolderThread.h"
#include "core/engine/backup/TZipFolderThread.h"
#include "core/engine/sync/TSyncFolderThread.h"
#include "core/launch/JobRun.h"
#include "platform/LocalTime.h"
#include "platform/linux/LinuxFileSystem.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using namespace drivlet;
using bench::NextRandom;
using bench::RunQuiet;
using bench::WriteData;

constexpr int kFilesPerFolder = 100;
constexpr int kFoldersPerGroup = 100;

// Files of 0 to maxBytes, a hundred to a folder, a hundred folders to a group; the large files
// lie at the top.
void MakeTree(const fs::path& root, int files, int64_t maxBytes, int largeFiles, int64_t largeMiB) {
    uint32_t x = 12345;
    for (int i = 0; i < files; ++i) {
        const int folder = i / kFilesPerFolder;
        const fs::path dir = root / ("group" + std::to_string(folder / kFoldersPerGroup)) /
                             ("folder" + std::to_string(folder));
        if (i % kFilesPerFolder == 0) fs::create_directories(dir);
        WriteData(dir / ("file" + std::to_string(i) + ".dat"), NextRandom(x) % (maxBytes + 1), x, true);
    }
    fs::create_directories(root);
    for (int i = 0; i < largeFiles; ++i)
        WriteData(root / ("large" + std::to_string(i) + ".bin"), largeMiB << 20, 1000 + i, true);
}

// Collects what a status panel would show of failures.
class Sink final : public IThreadEvents {
public:
    int errors = 0;
    void OnThreadError(const TThreadBase&, const ThreadErrorEvent& e) override {
        ++errors;
        std::fprintf(stderr, "thread error: %s\n", e.text.c_str());
    }
    void OnLogEntry(const TThreadBase&, const LogEntryEvent& e) override {
        if (!e.isError) return;
        if (++errors <= 5)
            std::fprintf(stderr, "%s %s: %s\n", e.action.c_str(), e.fileName.c_str(), e.status.c_str());
    }
};

std::string AsFolder(std::string path) {
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

struct Usage {
    long peakKib = 0;
    double cpuSeconds = 0; // user and system
};

Usage UsageOf(int who) {
    struct rusage usage {};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return {usage.ru_maxrss, seconds(usage.ru_utime) + seconds(usage.ru_stime)};
}

void Print(double seconds, const Usage& usage, int64_t files, int errors) {
    std::printf("seconds %.4f peak_kib %ld files %lld errors %d cpu %.4f\n", seconds, usage.peakKib,
                static_cast<long long>(files), errors, usage.cpuSeconds);
}

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

ThreadServices Services() {
    return {LinuxFileSystem::Instance(), SystemClock::Instance()};
}

// Runs the job to its end and prints the figures; the job is set up by the caller.
template <typename Job> int RunJob(std::unique_ptr<Job> job, Clock::time_point start) {
    Sink sink;
    job->SetEvents(&sink);
    job->Start();
    job->WaitFor();
    const int64_t files = job->Counters().FilesDone;
    job.reset();
    Print(Since(start), UsageOf(RUSAGE_SELF), files, sink.errors);
    return sink.errors == 0 ? 0 : 1;
}

// What a status panel does with the events: keeps the last status and file progress, adds every
// log line to its list.
class PanelSink final : public IThreadEvents {
public:
    int errors = 0;
    StatusEvent status;
    FileProgressEvent progress;
    std::vector<LogEntryEvent> log;
    void OnStatus(const TThreadBase&, const StatusEvent& e) override { status = e; }
    void OnFileProgress(const TThreadBase&, const FileProgressEvent& e) override { progress = e; }
    void OnThreadError(const TThreadBase&, const ThreadErrorEvent& e) override {
        ++errors;
        std::fprintf(stderr, "thread error: %s\n", e.text.c_str());
    }
    void OnLogEntry(const TThreadBase&, const LogEntryEvent& e) override {
        if (e.isError && ++errors <= 5)
            std::fprintf(stderr, "%s %s: %s\n", e.action.c_str(), e.fileName.c_str(), e.status.c_str());
        log.push_back(e);
    }
};

// The job owned by a JobRun, its events drained on a thread of their own that sleeps until
// the queue wakes it, as a front end's event loop would; like a window, which repaints some sixty
// times a second, it takes them at most once a frame, so a worker's flood of events arrives in
// batches instead of one wake-up each.
template <typename Job> int RunQueued(std::unique_ptr<Job> worker, Clock::time_point start) {
    PanelSink panel;
    int64_t files = 0;
    {
        JobRun job(JobKind::Backup, "", &panel);
        worker->SetEvents(&job.Queue());
        Job& adopted = job.Adopt(std::move(worker));
        job.Start();
        std::thread frontEnd([&job] {
            constexpr auto kFrame = std::chrono::milliseconds(16);
            while (!job.Ended()) {
                job.Queue().WaitForEvents(Clock::now() + std::chrono::hours(24));
                const auto frame = Clock::now() + kFrame;
                job.Drain();
                std::this_thread::sleep_until(frame);
            }
        });
        frontEnd.join();
        files = adopted.Counters().FilesDone;
    }
    Print(Since(start), UsageOf(RUSAGE_SELF), files, panel.errors);
    return panel.errors == 0 ? 0 : 1;
}

// An incremental backup job of one source folder, as a user's first job would be set up.
template <typename Job>
int BackupJob(const std::string& source, const std::string& archive, const std::string& database,
              bool queued = false) {
    const auto start = Clock::now();
    auto job = std::make_unique<Job>(Services());
    job->SetDatabaseFile(database);
    job->SetArchiveMode(TArchiveMode::amIncremental);
    job->SetArchiveFolder(AsFolder(archive));
    job->SetFolderList({AsFolder(source)});
    if (queued) return RunQueued(std::move(job), start);
    return RunJob(std::move(job), start);
}

// A two-way sync of one folder pair whose newer version wins, so that nothing is asked; the
// job's database lies in the drive's "Config" folder.
int SyncJob(const std::string& drive, const std::string& onDrive, const std::string& computer) {
    const auto start = Clock::now();
    auto job = std::make_unique<TSyncFolderThread>(Services());
    job->SetDatabaseFile(AsFolder(drive) + "Config/Job.Usdb");
    job->SyncDirection = TSyncDirection::sdBidi;
    job->SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
    job->FolderItems.AddItem(AsFolder(onDrive), AsFolder(computer), true);
    return RunJob(std::move(job), start);
}

// Another program; the peak is that of the child.
int RunTool(char** argv) {
    const auto start = Clock::now();
    const bool ok = RunQuiet(argv);
    Print(Since(start), UsageOf(RUSAGE_CHILDREN), -1, ok ? 0 : 1);
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    try {
        if (command == "tree" && argc >= 5) {
            MakeTree(argv[2], std::atoi(argv[3]), std::atoll(argv[4]), argc > 5 ? std::atoi(argv[5]) : 0,
                     argc > 6 ? std::atoll(argv[6]) : 0);
            return 0;
        }
        if (command == "copy" && argc == 5) return BackupJob<TCopyFolderThread>(argv[2], argv[3], argv[4]);
        if (command == "copy-queued" && argc == 5)
            return BackupJob<TCopyFolderThread>(argv[2], argv[3], argv[4], true);
        if (command == "zip" && argc == 5) return BackupJob<TZipFolderThread>(argv[2], argv[3], argv[4]);
        if (command == "sync" && argc == 5) return SyncJob(argv[2], argv[3], argv[4]);
        if (command == "run" && argc >= 3) return RunTool(argv + 2);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_backup %s failed: %s\n", command.c_str(), e.what());
        return 1;
    }
    std::fprintf(stderr,
                 "usage: %s tree <folder> <files> <max file bytes> [large files] [large file MiB]\n"
                 "       %s copy|copy-queued|zip <source folder> <archive folder> <database file>\n"
                 "       %s sync <drive folder> <drive-relative folder> <computer folder>\n"
                 "       %s run <program> [arguments...]\n",
                 argv[0], argv[0], argv[0], argv[0]);
    return 2;
}
