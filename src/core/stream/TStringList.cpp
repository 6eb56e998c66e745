#include "core/stream/TStringList.h"

#include "core/text/CaseFold.h"

namespace drivlet {

int TStringList::IndexOf(std::string_view item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (SameText(items_[i], item)) return static_cast<int>(i);
    return -1;
}

} // namespace drivlet
