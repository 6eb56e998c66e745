#pragma once
// What the resident session asks of the program it runs in (the tray, or `drivlet-cli watch`):
// start a job, show a drive, put a question, say something, hold the shut-down back, end. Every
// call comes on the front end's own thread; a question is answered later by the callback.
#include "core/schedule/run/ScheduleRunner.h"

#include <cstdint>
#include <functional>
#include <string>

namespace drivlet {

// What happened, for the front end to show in its way; the text beside it is the one to show.
enum class ResidentEvent {
    DriveArrived,      // a drive this computer knows (text: its path)
    DriveNotKnown,     // a drive of no job of this computer, left alone (text: its path)
    DeletedOverLimit,  // the deleted-files store holds more than the limit (the balloon's text)
    DeletedSizeFailed, // the store's size could not be measured (the error)
    ScheduleFailed,    // a schedule pass failed: the database could not be read or written
    ShutdownRefused,   // a shut-down waits for the running jobs (the balloon's text)
};

struct ResidentNotice {
    ResidentEvent event = ResidentEvent::DriveArrived;
    std::string text;
    // The first notice of a row of the same event: a front end that says a thing once (a log, an
    // error box) says only these; the balloon of an over-full store is repeated at each look.
    bool first = true;
    int64_t deletedSize = 0; // DeletedOverLimit: the measured total in bytes
    int64_t limit = 0;       // DeletedOverLimit: the user's limit in bytes
};

class IResidentFrontEnd {
public:
    virtual ~IResidentFrontEnd() = default;
    // A schedule the user made (or a drive's insertion schedule) starts the job; counted by the
    // session's run registry when it runs.
    virtual void Launch(const std::string& jobFile) = 0;
    // Whether jobs can be started at all; without, schedule passes leave their rows unspent.
    virtual bool CanLaunch() const { return true; }
    // A known drive arrived and the user wants its window shown.
    virtual void ShowDrive(const std::string& drivePath) { (void)drivePath; }
    virtual void AskFileNotFound(const FileNotFoundQuestion& question,
                                 std::function<void(bool ok)> answer) = 0;
    virtual void Notify(const ResidentNotice& notice) = 0;
    // Hold the platform's shut-down back, or let it go.
    virtual void BlockShutdown(bool block) { (void)block; }
    // Ends the user's work by force (log-off when true, else power-off); true when asked.
    virtual bool EndSession(bool logOff) {
        (void)logOff;
        return false;
    }
    // The number of running jobs changed (the icon animates while it is above 0).
    virtual void RunsChanged(int count) { (void)count; }
    // Exit was asked and no job runs any more: the program ends.
    virtual void Quit() = 0;
};

} // namespace drivlet
