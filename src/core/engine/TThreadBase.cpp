#include "core/engine/TThreadBase.h"

#include "core/engine/SizeText.h"

#include <cmath>
#include <exception>
#include <vector>

namespace drivlet {

TThreadBase::TThreadBase(const ThreadServices& services)
    : FileFilter(&services.fileSystem), services_(services) {}

TThreadBase::~TThreadBase() {
    Terminate();
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id())
            thread_.detach();
        else
            thread_.join();
    }
}

void TThreadBase::Terminate() {
    stop_.request_stop();
    std::vector<std::function<void()>> listeners;
    std::function<void()> release;
    {
        std::lock_guard lock(listenersMutex_);
        listeners = terminateListeners_;
        release = releaseQuestion_;
    }
    if (release) release();
    for (const auto& listener : listeners)
        listener();
}

void TThreadBase::AddTerminateListener(std::function<void()> listener) {
    std::lock_guard lock(listenersMutex_);
    terminateListeners_.push_back(std::move(listener));
}

void TThreadBase::Start() {
    if (thread_.joinable() || finished_.load()) return;
    // The body polls this object's stop source, which a terminate request before the start sets too.
    thread_ = std::jthread([this] { ThreadMain(); });
}

void TThreadBase::WaitFor() {
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

void TThreadBase::ThreadMain() {
    // The descendants guard their own bodies; this keeps anything else from ending the process.
    RunGuarded(kThreadErrorPrefix, [this] {
        BaseBody();
        Execute();
    });
    try {
        ReleaseDrive();
    } catch (...) {
        // Closing cannot fail in a way that matters to the run any more.
    }
    try {
        if (IThreadEvents* events = reporter_.Events()) events->OnTerminated(*this, {});
    } catch (...) {
        // A failing handler of the last event has nobody left to report to.
    }
    jobLock_.reset();
    finished_.store(true);
}

void TThreadBase::ReleaseDrive() {
    fileOps_.Release();
}

void TThreadBase::BaseBody() {
    startTime_.store(services_.clock.Now());
    fileOps_.Begin(StartTime(), DatabaseFile, DivertsNewerTargets());
    if (Terminated()) {
        SetStatus(StatusPhase::Canceled, "Canceled :(");
        ReportStatus();
    }
}

void TThreadBase::RunGuarded(std::string_view prefix, const std::function<void()>& body) {
    std::string message;
    try {
        body();
        return;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        message = "Unknown error";
    }
    try {
        ReportThreadError(ThreadErrorKind::Failed, std::string(prefix) + message);
    } catch (...) {
        // The report itself failed; the body has ended either way.
    }
}

// --- reports ---------------------------------------------------------------------------------

void TThreadBase::ReportStatus() {
    StatusEvent ev;
    ev.text = StatusText;
    ev.phase = StatusPhase_;
    ev.percent = FilesTotal == 0 ? -1 : static_cast<int32_t>(std::trunc(FilesDone * 100.0 / FilesTotal));
    ev.remaining = -1.0;
    const TDateTime now = services_.clock.Now();
    // Whole milliseconds (the clock's resolution), so that day-count rounding cannot tip a speed
    // across a unit boundary.
    const double seconds = std::round((now - SpeedStartTime) * 86400000.0) / 1000.0;
    if (seconds == 0) {
        ev.speed = "N/A";
    } else {
        ev.speed = FormatSpeed(BytesDone / seconds);
        const double bytesPerDay = BytesDone / (seconds / 86400.0);
        if (bytesPerDay != 0) ev.remaining = (BytesTotal - BytesDone) / bytesPerDay;
    }
    if (IThreadEvents* events = reporter_.Events()) events->OnStatus(*this, ev);
}

void TThreadBase::ReportThreadError(ThreadErrorKind kind, std::string text, int32_t code) {
    reporter_.ThreadError(kind, std::move(text), code);
}

int64_t TThreadBase::GetFileSize(const std::string& path) {
    return Files().FileSize(path);
}

LowDiskAnswer TThreadBase::AskLowDiskSpace(const LowDiskQuestion& question) {
    IThreadEvents* events = reporter_.Events();
    if (!events) return LowDiskAnswer::Skip;
    return AskAndWait<LowDiskAnswer>(
        [&](Answer<LowDiskAnswer> answer) { events->AskLowDiskSpace(*this, question, std::move(answer)); },
        LowDiskAnswer::Abort);
}

} // namespace drivlet
