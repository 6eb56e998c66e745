#pragma once
// What a worker tells its sink, built into events from plain values: the file line and its
// progress, the log lines and the thread errors. The file line's text stays until the next one is
// set, so that a progress report goes with whatever the worker (or a protected file operation it
// called) last began.
#include "core/engine/ThreadEvents.h"
#include "core/time/DateTime.h"
#include "platform/FileSystem.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace drivlet {

// What the panel reads when the job ends.
struct ThreadCounters {
    int64_t FilesDone = 0;
    int64_t FilesTotal = 0;
    int64_t BytesDone = 0;
    int64_t BytesTotal = 0;
    int64_t FoldersDone = 0; // of FilesDone: the folders walked, which the progress counts too
};

class Reporter {
public:
    // `sender` is the worker the sink is told about; it and the clock outlive this.
    Reporter(const TThreadBase& sender, const IClock& clock) : sender_(sender), clock_(clock) {}

    void SetEvents(IThreadEvents* events) { events_ = events; }
    IThreadEvents* Events() const { return events_; }

    // The file line: what is being done to which file, then how far it has come.
    void FileAction(std::string text) { fileAction_ = std::move(text); }
    void FileProgress(double percent) const;

    // The status line with the run's progress, its speed since `speedStart` and the time left.
    void Status(StatusPhase phase, std::string text, const ThreadCounters& counters,
                TDateTime speedStart) const;

    void Log(std::string fileName, std::string action, std::string status, bool isError) const;
    // The walk's failed lines: a folder that could not be listed, a file that is no regular file.
    void UnlistedFolder(const std::string& folder, const FileStatus& status) const;
    void SpecialFile(const std::string& path, SpecialKind kind, std::string_view action) const;
    // Code -1: the worker's own.
    void ThreadError(ThreadErrorKind kind, std::string text, int32_t code = -1) const;

private:
    const TThreadBase& sender_;
    const IClock& clock_;
    IThreadEvents* events_ = nullptr;
    std::string fileAction_;
};

} // namespace drivlet
