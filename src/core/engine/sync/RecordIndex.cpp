#include "core/engine/sync/RecordIndex.h"

#include <stdexcept>

namespace drivlet {
namespace {

// The table's NOCASE collation folds ASCII letters only.
char Folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

void RecordIndex::Clear() {
    slots_ = {};
    names_ = {};
    keys_ = {};
}

uint64_t RecordIndex::HashOf(std::string_view name) {
    // FNV-1a over the folded bytes, so that names equal for the table hash alike.
    uint64_t hash = 14695981039346656037ull;
    for (const char c : name)
        hash = (hash ^ static_cast<unsigned char>(Folded(c))) * 1099511628211ull;
    return hash;
}

bool RecordIndex::KeyIs(const Entry& entry, std::string_view name) const {
    if (entry.keyLength != name.size()) return false;
    const char* key = keys_.data() + entry.keyOffset;
    for (size_t i = 0; i < name.size(); ++i)
        if (key[i] != Folded(name[i])) return false;
    return true;
}

size_t RecordIndex::SlotOf(std::string_view name, uint64_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.name == 0) return i;
        if (slot.hash == hash && KeyIs(names_[slot.name - 1], name)) return i;
    }
}

RecordIndex::Name* RecordIndex::Find(std::string_view name) {
    if (slots_.empty()) return nullptr;
    const Slot& slot = slots_[SlotOf(name, HashOf(name))];
    return slot.name == 0 ? nullptr : &names_[slot.name - 1].value;
}

RecordIndex::Name& RecordIndex::operator[](std::string_view name) {
    if ((names_.size() + 1) * 2 > slots_.size()) Grow();
    const uint64_t hash = HashOf(name);
    Slot& slot = slots_[SlotOf(name, hash)];
    if (slot.name != 0) return names_[slot.name - 1].value;
    if (keys_.size() + name.size() > std::numeric_limits<uint32_t>::max() ||
        names_.size() >= std::numeric_limits<uint32_t>::max() - 1)
        throw std::length_error("too many file names in one folder pair");
    Entry entry;
    entry.keyOffset = static_cast<uint32_t>(keys_.size());
    entry.keyLength = static_cast<uint32_t>(name.size());
    for (const char c : name)
        keys_.push_back(Folded(c));
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
