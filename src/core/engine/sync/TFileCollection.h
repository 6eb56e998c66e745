#pragma once
// The pairs of one sync run, in the order the scan made them; a pair's index is what the run's
// record-to-pair map holds while the scan lasts.
#include "core/engine/sync/TFilePair.h"

#include <algorithm>
#include <functional>
#include <vector>

namespace drivlet {

class TFileCollection {
public:
    // Appends an empty pair and returns its index.
    size_t Add() {
        pairs_.emplace_back();
        return pairs_.size() - 1;
    }
    size_t Count() const { return pairs_.size(); }
    TFilePair& operator[](size_t i) { return pairs_[i]; }
    const TFilePair& operator[](size_t i) const { return pairs_[i]; }
    auto begin() { return pairs_.begin(); }
    auto end() { return pairs_.end(); }
    auto begin() const { return pairs_.begin(); }
    auto end() const { return pairs_.end(); }

    // Drops the pairs from index `count` on.
    void Truncate(size_t count) {
        if (count < pairs_.size())
            pairs_.erase(pairs_.begin() + static_cast<std::ptrdiff_t>(count), pairs_.end());
    }
    // Removes every pair the predicate answers true for, keeping the order of the others.
    void RemoveIf(const std::function<bool(const TFilePair&)>& remove) {
        pairs_.erase(std::remove_if(pairs_.begin(), pairs_.end(), remove), pairs_.end());
    }
    // Removes the pairs at the given indices (in any order, repeats allowed).
    void RemoveAt(std::vector<size_t> indices) {
        std::sort(indices.begin(), indices.end());
        indices.erase(std::unique(indices.begin(), indices.end()), indices.end());
        size_t kept = 0, next = 0;
        for (size_t i = 0; i < pairs_.size(); ++i) {
            if (next < indices.size() && indices[next] == i) {
                ++next;
                continue;
            }
            if (kept != i) pairs_[kept] = std::move(pairs_[i]);
            ++kept;
        }
        Truncate(kept);
    }
    void Clear() { pairs_.clear(); }

private:
    std::vector<TFilePair> pairs_;
};

} // namespace drivlet
