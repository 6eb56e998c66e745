#pragma once
// The records' string lists: ordered texts whose lookups ignore letter case.
#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> items) : items_(items) {}

    size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    const std::string& operator[](size_t i) const { return items_[i]; }
    std::string& operator[](size_t i) { return items_[i]; }
    void Add(std::string item) { items_.push_back(std::move(item)); }
    void Clear() { items_.clear(); }
    void Delete(size_t i) { items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(i)); }
    // -1 when absent.
    int IndexOf(std::string_view item) const;
    bool Contains(std::string_view item) const { return IndexOf(item) >= 0; }

    const std::vector<std::string>& Items() const { return items_; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    bool operator==(const TStringList&) const = default;

private:
    std::vector<std::string> items_;
};

} // namespace drivlet
