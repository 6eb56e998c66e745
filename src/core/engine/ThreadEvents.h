#pragma once
// What a worker tells its status panel (or the CLI), as plain values, and the sink that receives
// them: on the worker itself (the CLI, most tests), or on the front end's thread from the
// worker's ThreadEventQueue, which never makes the worker wait but for a question.
#include "core/engine/Answer.h"

#include <cstdint>
#include <string>

namespace drivlet {

class TThreadBase;

// What a status tells, beside its text, so that no front end reads the text to learn it.
enum class StatusPhase : uint8_t {
    Step,         // a step of the run: preparing, processing, deleting an old archive, saving
    Searching,    // the walk of the sources, folder by folder
    File,         // a file being worked on; its log line follows
    AddingFile,   // a file going into the archive
    SkippingFile, // a file the archive already holds
    DeletingFile, // a file being deleted
    Canceled,
    Finished,
    ThreadError, // the run has hit a thread error
};

struct StatusEvent {
    std::string text;
    int32_t percent = -1;   // -1: unknown, shown as a busy bar
    std::string speed = {}; // "N/A" before any time has passed
    double remaining = -1;  // days; -1: unknown
    StatusPhase phase = StatusPhase::Step;
};

// What stopped the run or a part of it.
enum class ThreadErrorKind : uint8_t {
    Failed,           // the body stopped on an exception
    DriveGone,        // the job's drive was pulled or unmounted
    Unanswered,       // a question with nobody to ask
    FolderUnreadable, // a folder of the job could not be listed
    Refused,          // the run cannot start on its destination, history or run, so writes nothing
    FileOperation,    // a file or archive could not be read, written or deleted
};

struct ThreadErrorEvent {
    std::string text;
    int32_t code = -1;
    ThreadErrorKind kind = ThreadErrorKind::Failed;
};

struct FileProgressEvent {
    std::string action;
    double percent = 0; // 0 to 100
};

struct LogEntryEvent {
    std::string fileName;
    std::string action;
    std::string status;
    bool isError = false;
};

// The Retry/Abort/Skip prompt of the low-disk check.
enum class LowDiskAnswer : int32_t { Skip = 2, Abort = 3, Retry = 4 };

struct LowDiskQuestion {
    std::string caption; // window caption
    std::string title;   // "Low Disk Space"
    std::string message;
};

struct TerminatedEvent {};

// Implemented by the status panel, the CLI and tests. Unimplemented events are ignored; a sink
// that cannot ask gives up the one file (Skip, as a closed dialog does).
class IThreadEvents {
public:
    virtual ~IThreadEvents() = default;
    virtual void OnStatus(const TThreadBase&, const StatusEvent&) {}
    virtual void OnThreadError(const TThreadBase&, const ThreadErrorEvent&) {}
    virtual void OnFileProgress(const TThreadBase&, const FileProgressEvent&) {}
    virtual void OnLogEntry(const TThreadBase&, const LogEntryEvent&) {}
    // The low-disk question. The worker waits until `answer` is given, now (a front end that asks
    // in place) or later (a dialog shown from an event loop), or the job is cancelled. A sink that
    // cannot ask gives up the one file.
    virtual void AskLowDiskSpace(const TThreadBase&, const LowDiskQuestion&, Answer<LowDiskAnswer> answer) {
        answer(LowDiskAnswer::Skip);
    }
    // After the body has returned; the thread object and its counters are still valid.
    virtual void OnTerminated(TThreadBase&, const TerminatedEvent&) {}
};

} // namespace drivlet
