#pragma once
// The folder pairs and file pairs a sync worker is given: side A on the drive (drive-relative,
// beginning with "/"), side B on the computer (absolute).
#include <string>
#include <string_view>
#include <vector>

namespace drivlet {

// What the wizards store for a folder pair that is the whole drive.
inline constexpr std::string_view kRootFolderName = "<Root>";

struct TSyncItem {
    std::string PathA;
    std::string PathB;
};

class TSyncItems {
public:
    // A folder pair gets trailing separators on both sides and "<Root>" becomes "/"; a file pair
    // keeps both paths as given.
    void AddItem(std::string_view pathA, std::string_view pathB, bool isFolder);
    // By the computer-side path, ignoring letter case; pairs of equal paths keep their order.
    void SortByPathB();

    size_t Count() const { return items_.size(); }
    const TSyncItem& operator[](size_t i) const { return items_[i]; }
    auto begin() const { return items_.begin(); }
    auto end() const { return items_.end(); }
    void Clear() { items_.clear(); }

private:
    std::vector<TSyncItem> items_;
};

} // namespace drivlet
