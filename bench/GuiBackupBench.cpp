// A backup of many small files run twice: once as the command line runs it (events drained in
// place), once into a status panel on a Qt event loop (offscreen). Prints both wall times, their
// ratio (target: at most 1.3) and the longest stall of the event loop during the panel's run,
// measured as the lateness of a 10 ms timer (target: under 100 ms).
//   bench_gui_backup [files] [rounds] [work folder]
// The medians of the rounds are printed; the order of the two ways turns round by round.
#include "BenchSupport.h"
#include "core/launch/JobRunner.h"
#include "core/records/TArchiveData.h"
#include "gui/status/JobLogModel.h"
#include "gui/status/TThreadStatuesFrame.h"
#include "platform/LocalTime.h"
#include "platform/linux/LinuxFileSystem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace drivlet;
using Clock = std::chrono::steady_clock;

constexpr int kFilesPerFolder = 100;

void MakeTree(const fs::path& root, int files) {
    uint32_t x = 4242;
    for (int i = 0; i < files; ++i) {
        const fs::path dir = root / ("folder" + std::to_string(i / kFilesPerFolder));
        if (i % kFilesPerFolder == 0) fs::create_directories(dir);
        bench::WriteData(dir / ("file" + std::to_string(i) + ".dat"), bench::NextRandom(x) % 4096, x, true);
    }
}

// A drive folder with one incremental backup job of `source` into its "Backups" folder.
std::string MakeJob(const fs::path& drive, const std::string& source) {
    fs::create_directories(drive / "Config");
    fs::create_directories(drive / "Backups");
    TArchiveData job(SystemClock::Instance());
    job.BackupName = "Bench";
    job.PCID = "PC-1";
    job.ArchiveDir = TArchiveDir::amPcToUsb;
    job.ArchiveMode = TArchiveMode::amIncremental;
    job.Destination = "/Backups/";
    job.FolderList.Add(source);
    const std::string file = (drive / "Config" / "Bench.ubk").string();
    job.SaveCompressed(file);
    return file;
}

JobRunner Runner() {
    return JobRunner{{{LinuxFileSystem::Instance(), SystemClock::Instance()}, "PC-1", {}}};
}

// The command line's sink: it only counts what went wrong.
class CountingSink final : public IThreadEvents {
public:
    int errors = 0;
    std::vector<LogEntryEvent> log;
    void OnThreadError(const TThreadBase&, const ThreadErrorEvent&) override { ++errors; }
    void OnLogEntry(const TThreadBase&, const LogEntryEvent& e) override {
        if (e.isError) ++errors;
        log.push_back(e);
    }
};

double Seconds(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct GuiFigures {
    double seconds = 0;
    int64_t maxStallMs = 0;
    int logLines = 0;
};

// The command line's way: the run drained in place on this thread.
double RunCli(const fs::path& drive, const std::string& source, int& errors) {
    const JobRunner runner = Runner();
    PreparedJob job = runner.Prepare(MakeJob(drive, source));
    const std::vector<int> yes(job.Questions().size(), dlg::Yes);
    CountingSink sink;
    const auto start = Clock::now();
    JobStart started = runner.Start(std::move(job), yes, &sink);
    if (!started.Started()) throw std::runtime_error("the command-line run did not start");
    started.run->Wait();
    const double seconds = Seconds(start);
    errors += sink.errors;
    return seconds;
}

// The panel's way, on the event loop, with a timer watching how late the loop turns.
GuiFigures RunGui(QApplication& app, const fs::path& drive, const std::string& source, int& errors) {
    const JobRunner runner = Runner();
    PreparedJob job = runner.Prepare(MakeJob(drive, source));
    const std::vector<int> yes(job.Questions().size(), dlg::Yes);
    GuiFigures figures;
    gui::TThreadStatuesFrame panel(SystemClock::Instance(), false);
    panel.resize(900, 600);
    panel.show();
    QElapsedTimer sinceTick;
    QTimer watch;
    watch.setTimerType(Qt::PreciseTimer);
    watch.setInterval(10);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        figures.maxStallMs = std::max<int64_t>(figures.maxStallMs, sinceTick.restart() - 10);
    });
    QObject::connect(&panel, &gui::TThreadStatuesFrame::jobFinished, &app,
                     [&] { QTimer::singleShot(0, &app, &QCoreApplication::quit); });
    const auto start = Clock::now();
    const RunSink sink = panel.Sink();
    StartOptions options;
    options.wake = sink.wake;
    JobStart started = runner.Start(std::move(job), yes, sink.events, options);
    if (!started.Started()) throw std::runtime_error("the panel's run did not start");
    panel.AttachRun(std::move(started.run));
    sinceTick.start();
    watch.start();
    app.exec();
    figures.seconds = Seconds(start);
    panel.LogModel().Flush();
    figures.logLines = panel.LogModel().rowCount();
    if (!panel.Run()->Outcome().Complete()) ++errors;
    return figures;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const fs::path work = argc > 3 ? fs::path(argv[3]) : fs::temp_directory_path() / "drivlet-gui-bench";
    fs::remove_all(work);
    const std::string source = (work / "source").string() + "/";
    MakeTree(source, files);

    std::vector<double> cli;
    std::vector<double> gui;
    int64_t maxStallMs = 0;
    int logLines = 0;
    int errors = 0;
    try {
        for (int round = 0; round < rounds; ++round) {
            // The order turns round by round, so neither way always meets the warmer cache.
            const fs::path roundFolder = work / ("round" + std::to_string(round));
            const auto runGui = [&] {
                const GuiFigures figures = RunGui(app, roundFolder / "GUI", source, errors);
                gui.push_back(figures.seconds);
                maxStallMs = std::max(maxStallMs, figures.maxStallMs);
                logLines = figures.logLines;
            };
            if (round % 2 == 1) runGui();
            cli.push_back(RunCli(roundFolder / "CLI", source, errors));
            if (round % 2 == 0) runGui();
            fs::remove_all(roundFolder);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        fs::remove_all(work);
        return 2;
    }
    fs::remove_all(work);

    const double cliSeconds = Median(cli);
    const double guiSeconds = Median(gui);
    const double ratio = cliSeconds > 0 ? guiSeconds / cliSeconds : 0;
    std::printf(
        "files %d rounds %d cli_seconds %.4f gui_seconds %.4f ratio %.3f max_stall_ms %lld log_lines %d "
        "errors %d\n",
        files, rounds, cliSeconds, guiSeconds, ratio, static_cast<long long>(maxStallMs), logLines, errors);
    std::printf("target %s (ratio at most 1.3, stall under 100 ms)\n",
                ratio <= 1.3 && maxStallMs < 100 ? "met" : "missed");
    return errors == 0 ? 0 : 1;
}
