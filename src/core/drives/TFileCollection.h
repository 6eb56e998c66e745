#pragma once
// The entries of a sync wizard's size list with their sizes: a file is measured at once, a folder
// on a walker thread of its own, whose totals reach the entry when it ends. Renaming an entry
// measures it again; removing one stops its walker, which then delivers nothing.
#include "core/drives/TFileData.h"
#include "core/drives/TFolderSizeThread.h"
#include "platform/FileSystem.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace drivlet::sizes {

class TFileCollection {
public:
    // Raised whenever an entry's measured values change, on the thread that changed them: the
    // front end's for files, a walker's for folders. A front end posts it on to its own thread
    // and never waits there for that thread, which may be the one removing the entry.
    using ItemChange = std::function<void(TFileCollection&, const TFileData&)>;

    explicit TFileCollection(const IFileSystem& files);
    // Stops every walker and waits for it.
    ~TFileCollection();
    TFileCollection(const TFileCollection&) = delete;
    TFileCollection& operator=(const TFileCollection&) = delete;

    // The changes below are made from one thread, the front end's.

    // The prefix of every entry's name; a "/" is appended when missing.
    void SetRootFolder(std::string folder);
    const std::string& RootFolder() const { return root_; }
    // When on, giving an entry its name measures it.
    void SetReadFileData(bool on) { readFileData_ = on; }
    bool ReadFileData() const { return readFileData_; }
    void SetOnItemChange(ItemChange handler);

    // Appends an entry bound to the row and gives it its name; returns its index.
    size_t Add(std::string fileName, int64_t row = -1);
    void SetFileName(size_t index, std::string fileName);
    void Delete(size_t index);
    void Clear();

    // Safe from any thread.
    size_t Count() const;
    // A copy of the entry as it stands.
    TFileData Entry(size_t index) const;
    // root folder + the entry's name
    std::string FullPath(size_t index) const;

private:
    struct Slot {
        TFileData data;
        uint64_t generation = 0; // which walker's totals the entry takes
        std::unique_ptr<TFolderSizeThread> walker;
    };

    void Measure(uint64_t id);
    void Deliver(uint64_t id, uint64_t generation, const FolderTotals& totals);
    Slot* Find(uint64_t id);
    void Raise(const TFileData& data);

    const IFileSystem& files_;
    std::string root_;
    bool readFileData_ = false;
    uint64_t nextId_ = 1;
    mutable std::mutex mutex_; // the slots and the handler, shared with the walkers
    ItemChange onItemChange_;
    std::vector<std::unique_ptr<Slot>> slots_;
};

} // namespace drivlet::sizes
