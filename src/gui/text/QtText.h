#pragma once
// Core's UTF-8 texts as Qt strings.
#include <QString>

#include <string_view>

namespace drivlet::gui {

inline QString QtText(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace drivlet::gui
