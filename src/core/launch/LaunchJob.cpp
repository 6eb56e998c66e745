#include "core/launch/LaunchJob.h"

#include "core/app/Constants.h"

#include <memory>

namespace drivlet {
namespace {

// A job between its preparation and its start, kept alive by the pending reply.
struct PendingLaunch {
    PendingLaunch(PreparedJob prepared, const JobRunner& jobRunner, IJobAsker& jobAsker, LaunchRequest launch)
        : job(std::move(prepared)), runner(jobRunner), asker(jobAsker), request(std::move(launch)) {}

    PreparedJob job;
    const JobRunner& runner;
    IJobAsker& asker;
    LaunchRequest request;
    std::vector<int> replies;
};

void Finish(const std::shared_ptr<PendingLaunch>& pending) {
    PendingLaunch& p = *pending;
    bool goesAhead = true;
    for (size_t i = 0; i < p.replies.size(); ++i)
        goesAhead = goesAhead && p.job.Questions()[i].GoesAhead(p.replies[i]);
    RunSink sink;
    if (goesAhead && p.request.eventsFor) sink = p.request.eventsFor(p.job);
    StartOptions options = p.request.options;
    if (sink.wake) options.wake = std::move(sink.wake);
    JobStart start = p.runner.Start(std::move(p.job), p.replies, sink.events, options);
    if (p.request.done) p.request.done(std::move(start));
}

void AskNext(const std::shared_ptr<PendingLaunch>& pending) {
    PendingLaunch& p = *pending;
    const std::vector<JobQuestion>& questions = p.job.Questions();
    const size_t next = p.replies.size();
    if (next == questions.size() || (next > 0 && !questions[next - 1].GoesAhead(p.replies.back()))) {
        Finish(pending);
        return;
    }
    p.asker.Ask(questions[next], [pending](int reply) {
        pending->replies.push_back(reply);
        AskNext(pending);
    });
}

} // namespace

void DialogJobAsker::Ask(const JobQuestion& question, std::function<void(int reply)> reply) {
    reply(dialogs_.AskYesNo(question.text, question.title, false, question.messageKind,
                            std::string(kProductTitle)));
}

void DialogJobAsker::Refused(const JobRefusal& refusal) {
    dialogs_.ShowNotice(refusal.text, refusal.title, MessageKind::Error, std::string(kProductTitle));
}

int LaunchJob(const std::string& jobFile, const JobRunner& runner, IJobAsker& asker, LaunchRequest request) {
    PreparedJob job = runner.Prepare(jobFile, PrepareOptions{request.itemIndex, request.reachAnswered});
    if (const std::optional<JobRefusal>& refusal = job.Refusal()) {
        if (refusal->reason == RefusalReason::NoItem || refusal->reason == RefusalReason::NotAJobFile) {
            // Nothing is shown; a caller that reports every refusal still hears of it.
            if (request.unshown) request.unshown(*refusal);
            return refusal->reason == RefusalReason::NoItem ? 0 : 1;
        }
        asker.Refused(*refusal);
        if (request.done) {
            JobStart start;
            start.refusal = refusal;
            request.done(std::move(start));
        }
        return 1;
    }
    AskNext(std::make_shared<PendingLaunch>(std::move(job), runner, asker, std::move(request)));
    return 1;
}

} // namespace drivlet
