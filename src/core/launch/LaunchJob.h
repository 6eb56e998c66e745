#pragma once
// The launcher's entry for any job file: the kind by extension, the job's questions put through
// an asker that may answer later (a window's callback), then the run started with the replies.
#include "core/launch/JobRunner.h"

#include <functional>
#include <string>

namespace drivlet {

class IJobAsker {
public:
    virtual ~IJobAsker() = default;
    // Shows the question and calls reply once with a dlg:: value, at once or later, on the
    // front end's thread.
    virtual void Ask(const JobQuestion& question, std::function<void(int reply)> reply) = 0;
    // Tells why a job was not started.
    virtual void Refused(const JobRefusal& refusal) = 0;
};

// The questions put through the standard dialogs, answered inside Ask: the command line's answerer.
class DialogJobAsker final : public IJobAsker {
public:
    explicit DialogJobAsker(IMessageDialogs& dialogs) : dialogs_(dialogs) {}
    void Ask(const JobQuestion& question, std::function<void(int reply)> reply) override;
    void Refused(const JobRefusal& refusal) override;

private:
    IMessageDialogs& dialogs_;
};

// Where a started run's events go: the sink (its status panel), and how the front end is woken
// when they wait to be drained.
struct RunSink {
    IThreadEvents* events = nullptr;
    ThreadEventQueue::Wake wake;
};

struct LaunchRequest {
    int itemIndex = -1;         // of a ".upcsy" job; -1: the first item of this computer
    bool reachAnswered = false; // a schedule the user made starts it
    StartOptions options;
    // The sink of the job's events (its status panel), made once the job is sure to start and
    // before its worker does; its wake, when given, replaces the options' one. None: the events
    // go nowhere.
    std::function<RunSink(const PreparedJob&)> eventsFor;
    // Called once when the job was prepared: with the started run, or with why it was not
    // started (refused or declined). Not called for a file of no job kind or without an item.
    std::function<void(JobStart)> done;
    // Called instead for a file of no job kind or a job without an item for this computer,
    // which the asker does not show.
    std::function<void(const JobRefusal&)> unshown;
};

// 1, or 0 when a ".upcsy" job has no item for this computer (nothing is shown then); a file of
// another extension starts and shows nothing. The runner and the asker outlive the questions.
int LaunchJob(const std::string& jobFile, const JobRunner& runner, IJobAsker& asker, LaunchRequest request);

} // namespace drivlet
