#include "core/resident/ResidentSession.h"

#include "core/drives/DriveRegistry.h"
#include "core/schedule/run/DeletedSizeAlert.h"

#include <system_error>

namespace drivlet {
namespace {

bool IsFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec);
}

} // namespace

ResidentSession::ResidentSession(ResidentEnvironment environment, IResidentFrontEnd& frontEnd)
    : environment_(std::move(environment)), frontEnd_(frontEnd), settings_(environment_.programDataRoot),
      shutdown_({[this] { RunSchedules(SchedulePass::Shutdown); }, [this] { return runner_->Busy(); },
                 [this](bool logOff) { return frontEnd_.EndSession(logOff); },
                 [this] { return runs_.Count(); }}) {
    settings_.LoadCompressed(TProgramData::SettingsFile(environment_.programDataRoot), environment_.dialogs);
    database_.emplace(ProgramDatabase::PathFor(environment_.programDataRoot));

    ScheduleRunnerServices services{
        *database_,
        environment_.clock,
        IsFile,
        environment_.mountedDrives,
        [this](const std::string& file) {
            if (!exiting_) frontEnd_.Launch(file);
        },
        [this](const FileNotFoundQuestion& question, std::function<void(bool)> answer) {
            frontEnd_.AskFileNotFound(question, [this, answer = std::move(answer)](bool ok) {
                answer(ok);
                UpdateShutdownBlock();
            });
        },
        [this](const std::string& message) {
            frontEnd_.Notify({ResidentEvent::ScheduleFailed, message});
        }};
    runner_ = std::make_unique<ScheduleRunner>(std::move(services), settings_.ScheduleRunMode);
    runner_->OnIdle = [this] {
        shutdown_.SchedulesIdle();
        UpdateShutdownBlock();
    };
    shutdownSchedulesExist_ = !database_->ActiveSchedules(kRunAtShutdown).empty();
    runs_.AddListener([this](int count) { RunsChanged(count); });
    UpdateShutdownBlock();
}

ResidentSession::~ResidentSession() = default;

void ResidentSession::Tick(TimePoint now) {
    if (CanLaunch()) {
        runner_->SetScheduleRunMode(settings_.ScheduleRunMode);
        runner_->Tick();
    }
    if (exiting_) return;
    // The first look comes one interval after the first tick, as the timer of a fresh start would.
    if (!nextMeasure_) nextMeasure_ = now + kDeletedSizeInterval;
    if (now < *nextMeasure_) return;
    MeasureDeletedSize();
    nextMeasure_ = now + kDeletedSizeInterval;
}

void ResidentSession::DriveArrived(const std::string& drivePath) {
    if (exiting_) return;
    if (!IsDriveKnown(drivePath, environment_.computerId, environment_.dialogs)) {
        frontEnd_.Notify({ResidentEvent::DriveNotKnown, drivePath});
        return;
    }
    frontEnd_.Notify({ResidentEvent::DriveArrived, drivePath});
    if (settings_.DriveAutoRun) frontEnd_.ShowDrive(drivePath);
    if (CanLaunch()) runner_->RunDriveInsertion(drivePath);
}

void ResidentSession::RunSchedules(SchedulePass pass) {
    // A pass hands its rows on and moves them to their next time: with no one to start the jobs,
    // the rows are left as they are rather than spent.
    if (!CanLaunch()) return;
    runner_->SetScheduleRunMode(settings_.ScheduleRunMode);
    runner_->RunSchedules(pass);
    UpdateShutdownBlock();
}

void ResidentSession::MeasureDeletedSize() {
    try {
        const DeletedSizeAlert alert = drivlet::MeasureDeletedSize(*database_, settings_.MaxDeletedSize);
        measureFailed_ = false;
        deletedSize_ = alert.deletedSize;
        if (alert.overLimit)
            frontEnd_.Notify({ResidentEvent::DeletedOverLimit, alert.balloonText, !overLimit_,
                              alert.deletedSize, settings_.MaxDeletedSize});
        overLimit_ = alert.overLimit;
        shutdownSchedulesExist_ = !database_->ActiveSchedules(kRunAtShutdown).empty();
        UpdateShutdownBlock();
    } catch (const std::exception& e) {
        frontEnd_.Notify({ResidentEvent::DeletedSizeFailed, e.what(), !measureFailed_});
        measureFailed_ = true;
    }
}

ShutdownAnswer ResidentSession::ShutdownQuery(bool isLogOff) {
    runner_->SetScheduleRunMode(settings_.ScheduleRunMode);
    ShutdownAnswer answer = shutdown_.ShutdownQuery(isLogOff);
    if (!answer.allow) frontEnd_.Notify({ResidentEvent::ShutdownRefused, answer.balloonText});
    UpdateShutdownBlock();
    return answer;
}

void ResidentSession::Exit() {
    if (exiting_) return;
    exiting_ = true;
    UpdateShutdownBlock();
    if (runs_.Count() == 0) {
        frontEnd_.Quit();
        return;
    }
    // The program ends once the cancelled runs have ended; their workers are released by the
    // cancel, and the front end's event loop keeps running meanwhile.
    runs_.CancelAll();
}

void ResidentSession::RunsChanged(int count) {
    frontEnd_.RunsChanged(count);
    // May carry out a shut-down that waited for this job.
    shutdown_.RunsChanged();
    UpdateShutdownBlock();
    if (exiting_ && count == 0) frontEnd_.Quit();
}

void ResidentSession::UpdateShutdownBlock() {
    const bool block = !exiting_ && (runs_.Count() > 0 || runner_->Busy() ||
                                     (!shutdown_.ShutdownJobsDone() && shutdownSchedulesExist_));
    if (block == blocked_) return;
    blocked_ = block;
    frontEnd_.BlockShutdown(block);
}

} // namespace drivlet
