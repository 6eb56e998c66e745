#pragma once
// The drive windows of the tray program, one per drive path, and the launcher that runs a job on
// a tab of its drive's window: the job's questions in boxes answered later, the status panel, the
// run counted in the program's run registry, and the finish message (held back once the shut-down
// has begun).
#include "core/launch/JobLocation.h"
#include "core/launch/KnownReach.h"
#include "core/launch/RunRegistry.h"
#include "core/launch/RunSettings.h"
#include "core/time/DateTimeText.h"
#include "gui/dialogs/MessageBoxes.h"
#include "gui/drives/TNewDrive.h"

#include <QObject>
#include <QPointer>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace drivlet {
class IClock;
class IConflictPrompt;
class IFileSystem;
class PreparedJob;
class ProgramDatabase;
} // namespace drivlet

namespace drivlet::gui {

class TThreadStatuesFrame;

// What the windows and the runs work with; everything outlives the DriveWindows.
struct DriveWindowServices {
    const IFileSystem& files;
    const IClock& clock;
    std::string computerId;
    std::filesystem::path programDataRoot;
    // The settings each run starts with; empty: read from the program data root at each launch.
    std::function<RunSettings()> runSettings = {};
    // The AutoCloseJobTab setting: read for each new tab, written when a panel's box changes.
    std::function<bool()> autoCloseJobTab = {};
    std::function<void(bool)> setAutoCloseJobTab = {};
    // Once the shut-down has begun, jobs end without a message; empty: always shown.
    std::function<bool()> finishMessagesSuppressed = {};
    ProgramDatabase* database = nullptr; // the schedule states of the rows; null: none scheduled
    // A sync run's conflict questions; empty: the conflict window over the drive's window. A null
    // prompt cannot ask, which cancels a run that has conflicts.
    std::function<std::shared_ptr<IConflictPrompt>(QWidget* window)> conflictPrompt = {};
    // How rows show a job's last run; empty: the user's form.
    DateTimeTextFormat lastRunText = {};
    // Which folders are drive roots a job may be run from; empty: mount points.
    DriveRootTest isDriveRoot = {};
    // The jobs the user let act on this computer; empty: no first-run question.
    KnownReach knownReach = {};
    // Where the runs are counted (the resident session's); null: a registry of the windows' own.
    RunRegistry* runs = nullptr;
};

class TSliderForm;

class DriveWindows : public QObject {
    Q_OBJECT
public:
    explicit DriveWindows(DriveWindowServices services, QObject* parent = nullptr);
    ~DriveWindows() override;

    // Opens or raises the drive's window; none when the path is not an existing folder.
    TNewDrive* ShowDrive(const std::string& drivePath);
    // The open window of that drive path, if any.
    TNewDrive* Window(const std::string& drivePath) const;
    // Asks the job's questions, then runs it on a new tab of its drive's window. A schedule the
    // user made has answered the first-run question already.
    void LaunchJob(const std::string& jobFile, bool scheduled = false);
    int RunningJobs() const { return runs_->Count(); }
    // Cancels every running job; each leaves the count once it has ended.
    void CancelAll() { runs_->CancelAll(); }
    // Brings every open window to the front (a second start of the program).
    void RaiseAll();
    // The schedule states of every window's jobs read again (a schedule was changed).
    void RefreshScheduleStates();
    // The slider that lists the running jobs (it outlives this); a job that starts shows it, and
    // a click on its entry brings the job's window and tab forward.
    void SetSlider(TSliderForm* slider);

signals:
    // The run registry's count, after every change.
    void runningJobsChanged(int count);
    // A window's menu command, for the tray program.
    void trayCommand(drivlet::gui::TrayCommand command);
    void scheduleRequested(const QString& jobFile);
    // A run has ended and its finish message (if any) is on show.
    void jobFinished(drivlet::gui::TThreadStatuesFrame* panel);

private:
    void ShowOnSlider(const PreparedJob& job, TThreadStatuesFrame* panel);
    TNewDrive* CreateWindow(const std::string& drivePath);
    void Finished(TThreadStatuesFrame* panel);
    bool WindowRunsJobs(const QWidget* window) const;
    int ScheduleStateOf(const std::string& jobFile) const;
    RunSettings CurrentRunSettings();

    DriveWindowServices services_;
    QtMessageDialogs dialogs_;
    std::map<std::string, QPointer<TNewDrive>> windows_;
    RunRegistry ownRuns_;
    RunRegistry* runs_;
    bool closing_ = false;
    QPointer<TSliderForm> slider_;
    std::map<int, QPointer<TThreadStatuesFrame>> sliderEntries_;
};

} // namespace drivlet::gui
