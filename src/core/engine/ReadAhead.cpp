#include "core/engine/ReadAhead.h"

#include <algorithm>

namespace drivlet {

void ReadAhead::Before(std::size_t index) {
    const std::size_t limit = std::min(count_, index + 1 + kFilesAhead);
    // The file about to be copied is read by the copy itself.
    announced_ = std::max(announced_, index + 1);
    for (; announced_ < limit; ++announced_) {
        const std::string path = pathAt_(announced_);
        if (!path.empty()) files_.PrefetchFile(path);
    }
}

} // namespace drivlet
