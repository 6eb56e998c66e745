#pragma once
// The search of a drive's job files: on a thread of its own, lists the files of the drive's
// "Config" folder, loads each job record in full without a message, and hands over one row per
// job as it goes. It can be asked to stop at any point and is always joined before it goes away.
#include "core/drives/TAutoRunFileData.h"
#include "platform/FileSystem.h"

#include <atomic>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace drivlet {

// The text of a search body that failed.
inline constexpr std::string_view kSearchErrorPrefix = "Thread Error : Class = TThreadBase : ";

class TSearchDrive {
public:
    // Every handler is called on the search's own thread, one at a time and in order; a front
    // end posts what it gets on to its own thread and never waits there for that thread, which
    // may be the one stopping the search.
    struct Handlers {
        std::function<void(const std::string& text)> onStatus;
        std::function<void(const TAutoRunFileData& row)> onRow;
        // A failure of the search itself (not of one job file, which gives an error row).
        std::function<void(const std::string& text)> onError;
        // Last of all, finished, stopped or failed alike.
        std::function<void()> onEnd;
        // How the rows show a job's last run.
        DateTimeTextFormat lastRunText = DefaultDateTimeText;
    };

    // The drive path may lack its trailing "/". The file service outlives the search.
    TSearchDrive(const IFileSystem& files, std::string drivePath, Handlers handlers);
    // Asks the search to stop and waits for its thread.
    ~TSearchDrive();
    TSearchDrive(const TSearchDrive&) = delete;
    TSearchDrive& operator=(const TSearchDrive&) = delete;

    void Start();
    // Only asks: the search stops before the next file.
    void Terminate() { terminated_.store(true); }
    bool Terminated() const { return terminated_.load(); }
    // Blocks until the thread has ended, its end handler included.
    void WaitFor();
    bool Finished() const { return finished_.load(); }

    // drive path + "/Config/", the folder searched.
    const std::string& ConfigFolder() const { return folder_; }

    // The job file extensions a search lists, lower-cased.
    static bool IsJobFileName(std::string_view name);

private:
    void Body();
    void Report(const std::function<void(const std::string&)>& handler, const std::string& text) const;

    const IFileSystem& files_;
    std::string folder_;
    Handlers handlers_;
    std::atomic<bool> terminated_{false};
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace drivlet
