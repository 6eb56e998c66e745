#pragma once
// The temporary files this program gives a name (a copy on a file system without anonymous files,
// an extraction, a lock), noted before they are made. A run that is killed leaves them behind;
// the journal is what proves them the program's own, so that a later run removes them and never
// a user's file that merely has a name of the same form.
//
// Each process notes its files in a journal file of its own, locked while the process lives: a
// journal nobody holds belongs to a process that has ended, and what it lists that is still
// there, unlocked, is a leftover.
#include <chrono>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>

namespace drivlet {

class TemporaryJournal {
public:
    explicit TemporaryJournal(std::filesystem::path folder);
    ~TemporaryJournal();
    TemporaryJournal(const TemporaryJournal&) = delete;
    TemporaryJournal& operator=(const TemporaryJournal&) = delete;

    // Before the file is made; the path is the one a later run will find it under.
    void Made(const std::string& path);
    // The file has its final name, or is gone.
    void Gone(const std::string& path);
    // Whether this process noted the path and it is not gone yet.
    bool Live(const std::string& path);
    // Removes what the journals of ended processes list (regular files of the temporary form,
    // unlocked), then those journals. At most once per `pace` unless `now` is set.
    void RemoveLeftovers(std::chrono::seconds pace, bool now = false);

private:
    bool OpenOwn();
    void Append(const std::string& path);
    void Rewrite();

    std::filesystem::path folder_;
    std::mutex mutex_;
    int fd_ = -1;
    std::string own_;
    std::set<std::string> live_;
    std::size_t written_ = 0;
    std::chrono::steady_clock::time_point lastScan_{};
    bool scanned_ = false;
};

} // namespace drivlet
