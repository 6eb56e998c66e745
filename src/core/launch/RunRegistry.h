#pragma once
// The runs of a front end that are under way, the one answer to "how many jobs run": the tray's
// icon, the shut-down rules and `watch` all ask here. A run adds itself when its worker starts
// and leaves once it has been joined (just before its panel hears that it ended) or destroyed.
// Everything happens on the front end's thread.
#include <functional>
#include <string>
#include <vector>

namespace drivlet {

class JobRun;

class RunRegistry {
public:
    // Called with the new count after every change.
    using Listener = std::function<void(int count)>;

    RunRegistry() = default;
    RunRegistry(const RunRegistry&) = delete;
    RunRegistry& operator=(const RunRegistry&) = delete;
    // The runs still registered are left alone: their owners outlive or outrank the registry.
    ~RunRegistry();

    int Count() const { return static_cast<int>(runs_.size()); }
    // Whether a run of a job file on the drive at `drivePath` (ending with "/") is under way.
    bool RunsOnDrive(const std::string& drivePath) const;
    // Cancels every run; each leaves once it has ended.
    void CancelAll();
    void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }

private:
    friend class JobRun;
    void Add(JobRun& run);
    void Remove(JobRun& run);
    void Changed();

    std::vector<JobRun*> runs_;
    std::vector<Listener> listeners_;
};

} // namespace drivlet
