#pragma once
// The sync-database records of one folder pair by file name, as the table compares names (ASCII
// letters folded), with what the scan learns of each name. A flat table: a scan looks up every
// file of both sides, and a node per name would cost a cache miss and an allocation each.
#include "core/time/DateTime.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

class RecordIndex {
public:
    static constexpr size_t kNoPair = std::numeric_limits<size_t>::max();

    struct Record {
        int64_t id = 0; // 0: none
        TDateTime dateA = 0;
        TDateTime dateB = 0;
        int64_t size = -1; // both sides' size when last made equal; -1: not recorded
        explicit operator bool() const { return id != 0; }
    };
    struct Name {
        Record a; // the first record with the pair's drive-side folder
        Record b; // the first record with the pair's computer-side folder
        // The pairs the scan made for this name's file on each side, and whether it met one.
        size_t pairA = kNoPair;
        size_t pairB = kNoPair;
        bool matchedA = false;
        bool matchedB = false;
        bool folderA = false; // the drive side has a folder of this name
    };

    void Clear();
    // The entry of a name, made empty when there is none yet. References stay valid until the
    // next call that adds a name.
    Name& operator[](std::string_view name);
    Name* Find(std::string_view name);
    size_t Size() const { return names_.size(); }

private:
    struct Slot {
        uint64_t hash = 0;
        uint32_t name = 0; // index into names_ + 1; 0: empty
    };
    struct Entry {
        uint32_t keyOffset = 0;
        uint32_t keyLength = 0;
        Name value;
    };
    // The name with its ASCII letters folded, in a buffer the next call reuses.
    std::string_view Fold(std::string_view name);
    static uint64_t HashOf(std::string_view folded);
    bool KeyIs(const Entry& entry, std::string_view folded) const;
    size_t SlotOf(std::string_view folded, uint64_t hash) const;
    void Grow();

    std::vector<Slot> slots_; // a power of two long, at most half full
    std::vector<Entry> names_;
    std::string keys_; // every name, folded, one after the other
    std::string folded_;
};

} // namespace drivlet
