#include "core/engine/sync/RecordIndex.h"

#include <cstring>
#include <functional>
#include <stdexcept>

namespace drivlet {
void RecordIndex::Clear() {
    slots_ = {};
    names_ = {};
    keys_ = {};
}

std::string_view RecordIndex::Fold(std::string_view name) {
    // The table's NOCASE collation folds ASCII letters only. Folded once per lookup: the hash and the
    // comparisons then go a word at a time.
    folded_.resize(name.size());
    char* out = folded_.data();
    // Without a branch per byte, so that the compiler does many at once.
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = name[i];
        out[i] = static_cast<char>(c + (static_cast<unsigned char>(c - 'A') < 26 ? 32 : 0));
    }
    return folded_;
}

uint64_t RecordIndex::HashOf(std::string_view folded) {
    return std::hash<std::string_view>{}(folded);
}

bool RecordIndex::KeyIs(const Entry& entry, std::string_view folded) const {
    return entry.keyLength == folded.size() &&
           std::memcmp(keys_.data() + entry.keyOffset, folded.data(), folded.size()) == 0;
}

size_t RecordIndex::SlotOf(std::string_view folded, uint64_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.name == 0) return i;
        if (slot.hash == hash && KeyIs(names_[slot.name - 1], folded)) return i;
    }
}

RecordIndex::Name* RecordIndex::Find(std::string_view name) {
    if (slots_.empty()) return nullptr;
    const std::string_view folded = Fold(name);
    const Slot& slot = slots_[SlotOf(folded, HashOf(folded))];
    return slot.name == 0 ? nullptr : &names_[slot.name - 1].value;
}

RecordIndex::Name& RecordIndex::operator[](std::string_view name) {
    if ((names_.size() + 1) * 2 > slots_.size()) Grow();
    const std::string_view folded = Fold(name);
    const uint64_t hash = HashOf(folded);
    Slot& slot = slots_[SlotOf(folded, hash)];
    if (slot.name != 0) return names_[slot.name - 1].value;
    if (keys_.size() + name.size() > std::numeric_limits<uint32_t>::max() ||
        names_.size() >= std::numeric_limits<uint32_t>::max() - 1)
        throw std::length_error("too many file names in one folder pair");
    Entry entry;
    entry.keyOffset = static_cast<uint32_t>(keys_.size());
    entry.keyLength = static_cast<uint32_t>(name.size());
    keys_.append(folded);
    names_.push_back(entry);
    slot = Slot{hash, static_cast<uint32_t>(names_.size())};
    return names_.back().value;
}

void RecordIndex::Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot{});
    const size_t mask = slots_.size() - 1;
    for (const Slot& slot : old) {
        if (slot.name == 0) continue;
        size_t i = slot.hash & mask;
        while (slots_[i].name != 0)
            i = (i + 1) & mask;
        slots_[i] = slot;
    }
}

} // namespace drivlet
