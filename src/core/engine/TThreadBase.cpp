#include "core/engine/TThreadBase.h"

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
        ShowStatus(StatusPhase::Canceled, "Canceled :(");
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

void TThreadBase::ShowStatus() {
    reporter_.Status(statusPhase_, statusText_, Counters(), SpeedStartTime);
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
