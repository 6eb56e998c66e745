#include "core/app/TFileAttributes.h"

#include "platform/FileAttributes.h"

namespace drivlet {

void TFileAttributes::Set(bool& flag, bool value) {
    flag = value;
    mask_ = Compute();
}

uint32_t TFileAttributes::Compute() const {
    uint32_t mask = 0;
    if (archive_) mask |= fa::Archive;
    if (hidden_) mask |= fa::Hidden;
    if (!indexed_) mask |= fa::NotContentIndexed;
    if (readOnlyFolder_) mask |= fa::ReadOnly;
    if (system_) mask |= fa::System;
    if (temporary_) mask |= fa::Temporary;
    return mask;
}

} // namespace drivlet
