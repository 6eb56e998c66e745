#pragma once
// The resident program without its front end: the settings and the program database, the
// schedule runner with its one-second tick, the drive-arrival filter, the deleted-files alert and
// its throttle, the running jobs and the shut-down rules (the query, the forced end once jobs are
// done, and when the shut-down must be held back). The tray and `drivlet-cli watch` each drive one
// from their own event loop and show what it tells them; neither keeps a rule of its own.
#include "core/db/ProgramDatabase.h"
#include "core/launch/RunRegistry.h"
#include "core/records/TProgramData.h"
#include "core/resident/IResidentFrontEnd.h"
#include "core/schedule/run/ScheduleRunner.h"
#include "core/schedule/run/ShutdownCoordinator.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace drivlet {

class IClock;
class IMessageDialogs;

struct ResidentEnvironment {
    std::filesystem::path programDataRoot;
    std::string computerId;
    const IClock& clock;
    // The drive paths of the mounted volumes, in mount-table order.
    std::function<std::vector<std::string>()> mountedDrives;
    // Where a settings file that cannot be read is reported.
    IMessageDialogs& dialogs;
};

// How often the deleted-files store is measured.
inline constexpr std::chrono::seconds kDeletedSizeInterval{6};

class ResidentSession {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    // Loads the settings and opens (or creates) the program database; an error there reaches the
    // caller. Nothing runs before Start or the first Tick.
    ResidentSession(ResidentEnvironment environment, IResidentFrontEnd& frontEnd);
    ~ResidentSession();
    ResidentSession(const ResidentSession&) = delete;
    ResidentSession& operator=(const ResidentSession&) = delete;

    // The start-up schedules.
    void Start() { RunSchedules(SchedulePass::Startup); }
    // Once a second: the timed schedules, and every kDeletedSizeInterval the deleted-files alert.
    void Tick(TimePoint now);
    // A drive mounted at `drivePath` (with its trailing "/"): a drive this computer knows is shown
    // (when the user wants that) and its insertion schedules run; any other is left alone.
    void DriveArrived(const std::string& drivePath);
    void RunSchedules(SchedulePass pass);
    // The deleted-files alert now.
    void MeasureDeletedSize();

    // The platform asks whether it may shut down or log off: refused while jobs run (the notice
    // tells), and carried out once they have ended.
    [[nodiscard]] ShutdownAnswer ShutdownQuery(bool isLogOff);
    // Jobs' finish messages stay unshown from the first shut-down query on.
    bool FinishMessagesSuppressed() const { return shutdown_.FinishMessagesSuppressed(); }
    // Held while jobs run or may still start, and while shut-down schedules wait for the query
    // that runs them; let go on exit.
    bool ShutdownBlocked() const { return blocked_; }

    // Cancels the running jobs; the front end's Quit follows once none runs (at once when none does).
    void Exit();
    bool Exiting() const { return exiting_; }

    // The one count of running jobs: every run a front end starts is counted here.
    RunRegistry& Runs() { return runs_; }
    int RunningJobs() const { return runs_.Count(); }
    TProgramData& Settings() { return settings_; }
    ProgramDatabase& Database() { return *database_; }
    int64_t DeletedSize() const { return deletedSize_; }

private:
    void RunsChanged(int count);
    void UpdateShutdownBlock();
    bool CanLaunch() const { return !exiting_ && frontEnd_.CanLaunch(); }

    ResidentEnvironment environment_;
    IResidentFrontEnd& frontEnd_;
    TProgramData settings_;
    std::optional<ProgramDatabase> database_;
    RunRegistry runs_;
    std::unique_ptr<ScheduleRunner> runner_;
    ShutdownCoordinator shutdown_;
    std::optional<TimePoint> nextMeasure_;
    int64_t deletedSize_ = 0;
    // The last measurement was over the limit, or failed: the next one like it is no news.
    bool overLimit_ = false;
    bool measureFailed_ = false;
    bool shutdownSchedulesExist_ = false;
    bool blocked_ = false;
    bool exiting_ = false;
};

} // namespace drivlet
