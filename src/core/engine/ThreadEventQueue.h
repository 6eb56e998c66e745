#pragma once
// The events of one worker on their way to the front end's thread. The worker gives the queue as
// its events and posts without waiting: status and file progress are merged (the latest value
// wins) between two lines of the log, log lines and thread errors are never dropped and keep
// their order, and the terminated event comes last. A question is posted with the answer the
// worker waits on, which the front end gives from a callback, now or later; a cancel or the
// queue's closing gives every question still open the answer that touches nothing.
#include "core/engine/Answer.h"
#include "core/engine/ThreadEvents.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <variant>
#include <vector>

namespace drivlet {

class ThreadEventQueue final : public IThreadEvents {
public:
    // Called from the worker when events arrive and none were waiting, so that an event loop gets
    // one call per batch and never polls. It must not block (a Qt front end posts a queued call).
    using Wake = std::function<void()>;

    explicit ThreadEventQueue(Wake wake = {});
    ~ThreadEventQueue() override;
    ThreadEventQueue(const ThreadEventQueue&) = delete;
    ThreadEventQueue& operator=(const ThreadEventQueue&) = delete;

    // --- the worker's side: each returns at once.
    void OnStatus(const TThreadBase& sender, const StatusEvent& event) override;
    void OnThreadError(const TThreadBase& sender, const ThreadErrorEvent& event) override;
    void OnFileProgress(const TThreadBase& sender, const FileProgressEvent& event) override;
    void OnLogEntry(const TThreadBase& sender, const LogEntryEvent& event) override;
    // Abort once the job is cancelled or the queue closed, also while it is open.
    void AskLowDiskSpace(const TThreadBase& sender, const LowDiskQuestion& question,
                         Answer<LowDiskAnswer> answer) override;
    void OnTerminated(TThreadBase& sender, const TerminatedEvent& event) override;

    // Any question of a worker: `ask` runs on the draining thread with the sink and the answer to
    // give. `cancelled` is the answer once the queue is cancelled or closed, before or after the
    // question is handed over.
    template <typename T>
    void Ask(std::function<void(IThreadEvents&, Answer<T>)> ask, Answer<T> answer, T cancelled) {
        Question question;
        question.ask = [ask = std::move(ask), answer](IThreadEvents& sink) { ask(sink, answer); };
        question.answered = [answer] { return answer.Given(); };
        question.release = [answer, cancelled] { answer(cancelled); };
        if (!Post(std::move(question))) answer(std::move(cancelled));
    }

    // --- the front end's side.
    // Hands everything queued now to the sink, in order; a question already answered (by a
    // cancel) is not asked. `beforeTerminated` runs just before the terminated event is handed
    // over. Returns how many events were handed over. Never from inside the sink's handlers.
    size_t Drain(IThreadEvents& sink, const std::function<void(TThreadBase&)>& beforeTerminated = {});
    // For a thread without an event loop: waits until something is queued or the queue is
    // closed; false when the deadline passed first.
    bool WaitForEvents(std::chrono::steady_clock::time_point deadline);
    // The job is cancelled: every waiting question, and any asked later, gets its cancelled
    // answer. Events still arrive.
    void Cancel();
    // The front end goes away: as Cancel, and what is queued or posted later is dropped.
    void Close();
    bool Cancelled() const;
    // Whether the terminated event has been handed to a sink.
    bool Ended() const;

private:
    struct Question {
        std::function<void(IThreadEvents&)> ask;
        std::function<bool()> answered;
        std::function<void()> release;
    };
    struct Terminated {
        TThreadBase* sender;
    };
    struct Item {
        const TThreadBase* sender = nullptr;
        std::variant<StatusEvent, FileProgressEvent, LogEntryEvent, ThreadErrorEvent, Question, Terminated>
            event;
    };
    static constexpr size_t kNone = static_cast<size_t>(-1);

    // Appends an event that keeps its place; false when it is dropped.
    void Append(Item item);
    // Puts a status or progress into its slot since the last ordered event.
    void Merge(Item item, size_t& slot);
    // Queues the question and keeps its release until it is answered; false when refused
    // (cancelled or closed).
    bool Post(Question question);
    // After an append that made the queue non-empty.
    void Woken();

    Wake wake_;
    mutable std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<Item> items_;
    size_t statusSlot_ = kNone;
    size_t progressSlot_ = kNone;
    struct Open {
        std::function<bool()> answered;
        std::function<void()> release;
    };
    std::vector<Open> open_; // questions posted and perhaps not yet answered
    bool cancelled_ = false;
    bool closed_ = false;
    bool terminatedPosted_ = false;
    bool ended_ = false;
};

} // namespace drivlet
