#include "core/drives/TFileCollection.h"

namespace drivlet::sizes {

TFileCollection::TFileCollection(const IFileSystem& files) : files_(files) {}

TFileCollection::~TFileCollection() {
    Clear();
}

void TFileCollection::SetRootFolder(std::string folder) {
    if (!folder.empty() && folder.back() != '/') folder += '/';
    std::lock_guard lock(mutex_);
    root_ = std::move(folder);
}

void TFileCollection::SetOnItemChange(ItemChange handler) {
    std::lock_guard lock(mutex_);
    onItemChange_ = std::move(handler);
}

size_t TFileCollection::Add(std::string fileName, int64_t row) {
    size_t index = 0;
    {
        std::lock_guard lock(mutex_);
        auto slot = std::make_unique<Slot>();
        slot->data.Id = nextId_++;
        slot->data.Row = row;
        slots_.push_back(std::move(slot));
        index = slots_.size() - 1;
    }
    SetFileName(index, std::move(fileName));
    return index;
}

void TFileCollection::SetFileName(size_t index, std::string fileName) {
    std::unique_ptr<TFolderSizeThread> previous;
    uint64_t id = 0;
    {
        std::lock_guard lock(mutex_);
        Slot& slot = *slots_.at(index);
        slot.data.FileName = std::move(fileName);
        if (!readFileData_) return;
        id = slot.data.Id;
        previous = std::move(slot.walker);
    }
    // Stopped and waited for outside the lock, which its last delivery needs; what it reached
    // reaches the entry and is replaced by the new measurement.
    previous.reset();
    Measure(id);
}

void TFileCollection::Delete(size_t index) {
    std::unique_ptr<Slot> removed;
    {
        std::lock_guard lock(mutex_);
        if (index >= slots_.size()) return;
        removed = std::move(slots_[index]);
        slots_.erase(slots_.begin() + static_cast<std::ptrdiff_t>(index));
    }
    // The walker, stopped here, no longer finds its entry and delivers nothing.
    removed.reset();
}

void TFileCollection::Clear() {
    std::vector<std::unique_ptr<Slot>> removed;
    {
        std::lock_guard lock(mutex_);
        removed.swap(slots_);
    }
    for (auto& slot : removed)
        if (slot->walker) slot->walker->Terminate();
    removed.clear();
}

size_t TFileCollection::Count() const {
    std::lock_guard lock(mutex_);
    return slots_.size();
}

TFileData TFileCollection::Entry(size_t index) const {
    std::lock_guard lock(mutex_);
    return slots_.at(index)->data;
}

std::string TFileCollection::FullPath(size_t index) const {
    std::lock_guard lock(mutex_);
    return root_ + slots_.at(index)->data.FileName;
}

TFileCollection::Slot* TFileCollection::Find(uint64_t id) {
    for (auto& slot : slots_)
        if (slot->data.Id == id) return slot.get();
    return nullptr;
}

void TFileCollection::Raise(const TFileData& data) {
    ItemChange handler;
    {
        std::lock_guard lock(mutex_);
        handler = onItemChange_;
    }
    if (handler) handler(*this, data);
}

void TFileCollection::Measure(uint64_t id) {
    std::string path;
    {
        std::lock_guard lock(mutex_);
        Slot* slot = Find(id);
        if (!slot) return;
        path = root_ + slot->data.FileName;
    }
    const auto attributes = files_.GetAttributes(path);
    const bool isFolder = attributes && (*attributes & fa::Directory) != 0;
    const int64_t fileSize = attributes && !isFolder ? files_.FileSize(path) : -1;
    TFileData changed;
    {
        std::lock_guard lock(mutex_);
        Slot* slot = Find(id);
        if (!slot) return;
        slot->data.IsFolder = isFolder;
        if (isFolder) {
            const uint64_t generation = ++slot->generation;
            slot->data.Measuring = true;
            slot->walker = std::make_unique<TFolderSizeThread>(
                files_, path, [this, id, generation](const FolderTotals& totals, bool) {
                    Deliver(id, generation, totals);
                });
            slot->walker->Start();
            return;
        }
        // A name that leads nowhere shows as not found, whatever it measured before.
        slot->data.Size = fileSize;
        slot->data.FileCount = attributes ? 1 : -1;
        slot->data.FolderCount = attributes ? 0 : -1;
        slot->data.Measuring = false;
        changed = slot->data;
    }
    Raise(changed);
}

void TFileCollection::Deliver(uint64_t id, uint64_t generation, const FolderTotals& totals) {
    TFileData changed;
    {
        std::lock_guard lock(mutex_);
        Slot* slot = Find(id);
        if (!slot || slot->generation != generation) return;
        slot->data.Size = totals.size;
        slot->data.FileCount = totals.files;
        slot->data.FolderCount = totals.folders;
        slot->data.Measuring = false;
        changed = slot->data;
    }
    Raise(changed);
}

} // namespace drivlet::sizes
