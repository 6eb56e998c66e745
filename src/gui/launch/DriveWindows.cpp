#include "gui/launch/DriveWindows.h"

#include "core/db/ProgramDatabase.h"
#include "core/launch/LaunchJob.h"
#include "gui/app/BringForward.h"
#include "gui/launch/GuiJobAsker.h"
#include "gui/status/TThreadStatuesFrame.h"
#include "gui/sync/GuiConflictPrompt.h"
#include "gui/sync/TFileSyncPromptDlg.h" // its header reads the window through a QPointer
#include "gui/tray/TSliderForm.h"

#include <QMessageBox>
#include <QTabWidget>

#include <exception>
#include <system_error>
#include <utility>

namespace drivlet::gui {
namespace {

// One launch, from its first question to its start: kept by the pending questions and dropped
// once the job has started or was not.
struct Launch {
    explicit Launch(RunnerServices services) : runner(std::move(services)) {}

    JobRunner runner;
    GuiJobAsker asker;
    std::shared_ptr<IConflictPrompt> prompt;
    QPointer<TThreadStatuesFrame> panel;
};

bool IsSyncJobFile(const std::string& jobFile) {
    const JobFileKind kind = JobFileKindOf(jobFile);
    return kind == JobFileKind::Sync || kind == JobFileKind::ComputerSync;
}

void RemoveTab(TThreadStatuesFrame* panel) {
    if (QWidget* tab = panel->parentWidget()) tab->deleteLater();
}

} // namespace

DriveWindows::DriveWindows(DriveWindowServices services, QObject* parent)
    : QObject(parent), services_(std::move(services)), runs_(services_.runs ? services_.runs : &ownRuns_) {
    const QPointer<DriveWindows> self(this);
    runs_->AddListener([self](int count) {
        if (self) emit self->runningJobsChanged(count);
    });
}

DriveWindows::~DriveWindows() {
    // The panels cancel and join their runs as the windows go; no finish message then.
    closing_ = true;
    // Taken out first: each window's destroyed handler erases its entry.
    const auto windows = std::exchange(windows_, {});
    for (const auto& [path, window] : windows)
        delete window.data();
}

TNewDrive* DriveWindows::Window(const std::string& drivePath) const {
    const auto it = windows_.find(TNewDrive::NormalDrivePath(drivePath));
    return it == windows_.end() ? nullptr : it->second.data();
}

TNewDrive* DriveWindows::ShowDrive(const std::string& drivePath) {
    const std::string path = TNewDrive::NormalDrivePath(drivePath);
    std::error_code ec;
    if (!std::filesystem::is_directory(path, ec)) return nullptr;
    TNewDrive* window = Window(path);
    if (!window) window = CreateWindow(path);
    BringForward(*window);
    return window;
}

TNewDrive* DriveWindows::CreateWindow(const std::string& drivePath) {
    auto self = std::make_shared<QPointer<TNewDrive>>();
    NewDriveServices services{services_.files, services_.computerId,
                              [this](const std::string& jobFile) { return ScheduleStateOf(jobFile); },
                              services_.lastRunText, [this, self] { return *self && WindowRunsJobs(*self); }};
    auto* window = new TNewDrive(drivePath, std::move(services));
    *self = window;
    windows_[drivePath] = window;
    connect(window, &TNewDrive::runRequested, this,
            [this](const QString& file) { LaunchJob(file.toStdString()); });
    connect(window, &TNewDrive::trayCommand, this, &DriveWindows::trayCommand);
    connect(window, &TNewDrive::scheduleRequested, this, &DriveWindows::scheduleRequested);
    // Emitted from ~QWidget, while the pointer still holds the half-destroyed window: reading it
    // as a TNewDrive then is undefined, and no other window of this drive can exist meanwhile.
    connect(window, &QObject::destroyed, this, [this, drivePath] { windows_.erase(drivePath); });
    return window;
}

int DriveWindows::ScheduleStateOf(const std::string& jobFile) const {
    if (!services_.database) return 0;
    try {
        return services_.database->ScheduleStateOf(jobFile);
    } catch (const std::exception&) {
        return 0; // a schedule table that cannot be read shows the job as not scheduled
    }
}

RunSettings DriveWindows::CurrentRunSettings() {
    if (services_.runSettings) return services_.runSettings();
    return LoadRunSettings(services_.programDataRoot, dialogs_);
}

void DriveWindows::LaunchJob(const std::string& jobFile, bool scheduled) {
    if (closing_) return;
    // The job's tab goes on the window of the drive the job file is on.
    const std::filesystem::path configFolder = std::filesystem::path(jobFile).parent_path();
    const QPointer<TNewDrive> window = ShowDrive(configFolder.parent_path().string());

    auto launch = std::make_shared<Launch>(RunnerServices{{services_.files, services_.clock},
                                                          services_.computerId,
                                                          CurrentRunSettings(),
                                                          services_.isDriveRoot,
                                                          services_.knownReach});
    launch->asker.SetParent(window);
    LaunchRequest request;
    request.reachAnswered = scheduled;
    if (IsSyncJobFile(jobFile))
        launch->prompt = services_.conflictPrompt ? services_.conflictPrompt(window)
                                                  : std::make_shared<GuiConflictPrompt>(window);
    request.options.prompt = launch->prompt.get();
    request.options.registry = runs_;

    const QPointer<DriveWindows> self(this);
    request.eventsFor = [self, window, launch](const PreparedJob& job) -> RunSink {
        if (!self || self->closing_ || !window) return {};
        const bool autoClose = self->services_.autoCloseJobTab && self->services_.autoCloseJobTab();
        TThreadStatuesFrame* panel =
            CreateJobTab(job.Name(), window->Pages(), self->services_.clock, autoClose);
        launch->panel = panel;
        connect(panel, &TThreadStatuesFrame::jobFinished, self, &DriveWindows::Finished);
        self->ShowOnSlider(job, panel);
        connect(panel, &TThreadStatuesFrame::autoCloseToggled, self, [self](bool on) {
            if (self->services_.setAutoCloseJobTab) self->services_.setAutoCloseJobTab(on);
        });
        window->show();
        window->raise();
        window->activateWindow();
        return panel->Sink();
    };
    request.done = [launch, window](JobStart start) {
        TThreadStatuesFrame* panel = launch->panel;
        if (start.Started()) {
            // The conflict window stays until the worker that may ask it has been joined.
            if (launch->prompt) start.run->Keep(launch->prompt);
            // Without a panel (its window went meanwhile) the run is dropped: cancelled and joined.
            if (!panel) return;
            panel->AttachRun(std::move(start.run));
            if (!start.saveError.empty())
                OpenMessageBox(window,
                               "The job runs, but its start time could not be written: " + start.saveError,
                               "Save Job", MessageKind::Warning, BoxButtons::Ok, {});
            return;
        }
        if (!panel) return;
        // Refused at the start itself, after its questions: said here, as no one else says it.
        if (start.refusal) launch->asker.Refused(*start.refusal);
        RemoveTab(panel);
    };
    try {
        drivlet::LaunchJob(jobFile, launch->runner, launch->asker, std::move(request));
    } catch (const std::exception& e) {
        if (launch->panel) RemoveTab(launch->panel);
        OpenMessageBox(window, std::string("The job could not be started: ") + e.what(), "Load Job",
                       MessageKind::Error, BoxButtons::Ok, {});
    }
}

void DriveWindows::Finished(TThreadStatuesFrame* panel) {
    if (closing_) return;
    const bool suppressed = services_.finishMessagesSuppressed && services_.finishMessagesSuppressed();
    if (!suppressed && panel->Run()) {
        QWidget* window = panel->window();
        const JobOutcome outcome = panel->Run()->Outcome();
        OpenMessageBox(
            window && window->isVisible() ? window : nullptr, outcome.finishMessage, outcome.finishTitle,
            outcome.ending == JobEnding::Completed ? MessageKind::Information : MessageKind::Warning,
            BoxButtons::Ok, {});
    }
    emit jobFinished(panel);
    if (auto* window = qobject_cast<TNewDrive*>(panel->window())) window->BusyChanged();
}

bool DriveWindows::WindowRunsJobs(const QWidget* window) const {
    const auto* drive = qobject_cast<const TNewDrive*>(window);
    return drive && runs_->RunsOnDrive(drive->DrivePath());
}

void DriveWindows::SetSlider(TSliderForm* slider) {
    slider_ = slider;
    if (!slider) return;
    connect(slider, &TSliderForm::entryActivated, this, [this](int entry) {
        const auto it = sliderEntries_.find(entry);
        if (it == sliderEntries_.end() || !it->second) return;
        TThreadStatuesFrame* panel = it->second;
        if (auto* tabs = qobject_cast<QTabWidget*>(
                panel->parentWidget() ? panel->parentWidget()->parentWidget() : nullptr))
            tabs->setCurrentWidget(panel);
        if (QWidget* window = panel->window()) BringForward(*window);
    });
}

void DriveWindows::ShowOnSlider(const PreparedJob& job, TThreadStatuesFrame* panel) {
    if (!slider_) return;
    int image = TSliderForm::BackupImage;
    switch (job.Kind()) {
    case JobKind::Sync:
        image = TSliderForm::SyncImage;
        break;
    case JobKind::PCSync:
        image = TSliderForm::PcImage;
        break;
    case JobKind::Move:
        image = TSliderForm::MoveImage;
        break;
    case JobKind::Restore:
        image = TSliderForm::RestoreImage;
        break;
    case JobKind::Backup:
        break;
    }
    const int entry = slider_->AddJobItem(QString::fromStdString(job.Name()), image);
    sliderEntries_[entry] = panel;
    const QPointer<TSliderForm> slider = slider_;
    connect(panel, &TThreadStatuesFrame::statusShown, slider_, [slider, entry](const QString& text) {
        if (slider) slider->SetJobAction(entry, text);
    });
    // Ended, refused at the start, or its tab closed: the entry goes.
    const auto remove = [this, slider, entry] {
        if (slider) slider->RemoveJobItem(entry);
        sliderEntries_.erase(entry);
    };
    connect(panel, &TThreadStatuesFrame::jobFinished, this, remove);
    connect(panel, &QObject::destroyed, this, remove);
    slider_->ShowSlider();
}

void DriveWindows::RefreshScheduleStates() {
    for (auto& [path, window] : windows_)
        if (window) window->RefreshStateIcons();
}

void DriveWindows::RaiseAll() {
    for (auto& [path, window] : windows_) {
        if (window && window->isVisible()) BringForward(*window);
    }
}

} // namespace drivlet::gui
