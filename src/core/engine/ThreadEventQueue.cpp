#include "core/engine/ThreadEventQueue.h"

#include <utility>

namespace drivlet {

ThreadEventQueue::ThreadEventQueue(Wake wake) : wake_(std::move(wake)) {}

ThreadEventQueue::~ThreadEventQueue() {
    Close();
}

void ThreadEventQueue::OnStatus(const TThreadBase& sender, const StatusEvent& event) {
    Merge({&sender, event}, statusSlot_);
}

void ThreadEventQueue::OnFileProgress(const TThreadBase& sender, const FileProgressEvent& event) {
    Merge({&sender, event}, progressSlot_);
}

void ThreadEventQueue::OnThreadError(const TThreadBase& sender, const ThreadErrorEvent& event) {
    Append({&sender, event});
}

void ThreadEventQueue::OnLogEntry(const TThreadBase& sender, const LogEntryEvent& event) {
    Append({&sender, event});
}

void ThreadEventQueue::OnTerminated(TThreadBase& sender, const TerminatedEvent&) {
    Append({&sender, Terminated{&sender}});
}

void ThreadEventQueue::AskLowDiskSpace(const TThreadBase& sender, const LowDiskQuestion& question,
                                       Answer<LowDiskAnswer> answer) {
    const TThreadBase* from = &sender;
    Ask<LowDiskAnswer>(
        [from, question](IThreadEvents& sink, Answer<LowDiskAnswer> given) {
            sink.AskLowDiskSpace(*from, question, std::move(given));
        },
        std::move(answer), LowDiskAnswer::Abort);
}

void ThreadEventQueue::Append(Item item) {
    bool wasEmpty = false;
    {
        std::lock_guard lock(mutex_);
        if (closed_ || terminatedPosted_) return;
        if (std::holds_alternative<Terminated>(item.event)) terminatedPosted_ = true;
        wasEmpty = items_.empty();
        items_.push_back(std::move(item));
        // What comes next is shown after this line, never merged into what came before it.
        statusSlot_ = kNone;
        progressSlot_ = kNone;
    }
    if (wasEmpty) Woken();
}

void ThreadEventQueue::Merge(Item item, size_t& slot) {
    bool wasEmpty = false;
    {
        std::lock_guard lock(mutex_);
        if (closed_ || terminatedPosted_) return;
        if (slot != kNone) {
            items_[slot] = std::move(item);
            return;
        }
        wasEmpty = items_.empty();
        slot = items_.size();
        items_.push_back(std::move(item));
    }
    if (wasEmpty) Woken();
}

bool ThreadEventQueue::Post(Question question) {
    bool wasEmpty = false;
    {
        std::lock_guard lock(mutex_);
        if (cancelled_ || closed_ || terminatedPosted_) return false;
        // A question answered is over: its release has nothing left to do.
        std::erase_if(open_, [](const Open& open) { return open.answered(); });
        open_.push_back({question.answered, question.release});
        wasEmpty = items_.empty();
        items_.push_back({nullptr, std::move(question)});
        statusSlot_ = kNone;
        progressSlot_ = kNone;
    }
    if (wasEmpty) Woken();
    return true;
}

void ThreadEventQueue::Woken() {
    arrived_.notify_all();
    if (wake_) wake_();
}

size_t ThreadEventQueue::Drain(IThreadEvents& sink,
                               const std::function<void(TThreadBase&)>& beforeTerminated) {
    std::vector<Item> batch;
    {
        std::lock_guard lock(mutex_);
        if (closed_) return 0;
        batch.swap(items_);
        statusSlot_ = kNone;
        progressSlot_ = kNone;
    }
    for (Item& item : batch) {
        if (auto* status = std::get_if<StatusEvent>(&item.event)) {
            sink.OnStatus(*item.sender, *status);
        } else if (auto* progress = std::get_if<FileProgressEvent>(&item.event)) {
            sink.OnFileProgress(*item.sender, *progress);
        } else if (auto* log = std::get_if<LogEntryEvent>(&item.event)) {
            sink.OnLogEntry(*item.sender, *log);
        } else if (auto* error = std::get_if<ThreadErrorEvent>(&item.event)) {
            sink.OnThreadError(*item.sender, *error);
        } else if (auto* question = std::get_if<Question>(&item.event)) {
            if (!question->answered()) question->ask(sink);
        } else if (auto* terminated = std::get_if<Terminated>(&item.event)) {
            if (beforeTerminated) beforeTerminated(*terminated->sender);
            {
                std::lock_guard lock(mutex_);
                ended_ = true;
            }
            sink.OnTerminated(*terminated->sender, {});
        }
    }
    return batch.size();
}

bool ThreadEventQueue::WaitForEvents(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return arrived_.wait_until(lock, deadline, [&] { return !items_.empty() || closed_; });
}

void ThreadEventQueue::Cancel() {
    std::vector<Open> released;
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        released.swap(open_);
    }
    for (const Open& open : released)
        open.release();
}

void ThreadEventQueue::Close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        items_.clear();
        statusSlot_ = kNone;
        progressSlot_ = kNone;
    }
    arrived_.notify_all();
    Cancel();
}

bool ThreadEventQueue::Cancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

bool ThreadEventQueue::Ended() const {
    std::lock_guard lock(mutex_);
    return ended_;
}

} // namespace drivlet
