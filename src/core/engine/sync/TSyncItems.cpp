#include "core/engine/sync/TSyncItems.h"

#include "core/text/CaseFold.h"
#include "core/text/PathText.h"

#include <algorithm>

namespace drivlet {
namespace {

// Drive-side paths are stored drive-relative; one written without its leading "/" means the same.
std::string DriveRelative(std::string_view path) {
    return !path.empty() && path.front() == '/' ? std::string(path) : "/" + std::string(path);
}

} // namespace

void TSyncItems::AddItem(std::string_view pathA, std::string_view pathB, bool isFolder) {
    if (!isFolder) {
        items_.push_back({DriveRelative(pathA), std::string(pathB)});
        return;
    }
    items_.push_back(
        {pathA == kRootFolderName ? std::string("/") : WithSlash(DriveRelative(pathA)), WithSlash(pathB)});
}

void TSyncItems::SortByPathB() {
    std::vector<std::pair<std::string, TSyncItem>> keyed;
    keyed.reserve(items_.size());
    for (TSyncItem& item : items_)
        keyed.emplace_back(LowerCase(item.PathB), std::move(item));
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 0; i < keyed.size(); ++i)
        items_[i] = std::move(keyed[i].second);
}

} // namespace drivlet
