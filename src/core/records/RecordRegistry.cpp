#include "core/records/RecordRegistry.h"

#include "core/records/TArchiveData.h"
#include "core/records/TDiskConfigFile.h"
#include "core/records/TProgramData.h"
#include "core/records/TSyncData.h"
#include "core/schedule/TSchedule.h"
#include "core/stream/ZlibContainer.h"

namespace drivlet {

std::unique_ptr<TSaveLoadComponent> CreateRecord(std::string_view name, const std::filesystem::path& root) {
    if (name == "TArchiveData") return std::make_unique<TArchiveData>();
    if (name == "TSyncData") return std::make_unique<TSyncData>();
    if (name == "TPCSyncData") return std::make_unique<TPCSyncData>();
    if (name == "TDiskConfigFile") return std::make_unique<TDiskConfigFile>();
    if (name == "TProgramData") return std::make_unique<TProgramData>(root);
    if (name == "TSchedule") return std::make_unique<TSchedule>();
    return nullptr;
}

const std::vector<std::string_view>& RecordClassNames() {
    static const std::vector<std::string_view> names = {"TArchiveData",    "TSyncData",    "TPCSyncData",
                                                        "TDiskConfigFile", "TProgramData", "TSchedule"};
    return names;
}

std::optional<std::string> StreamClassName(std::span<const uint8_t> bytes) {
    auto fromPlain = [](std::span<const uint8_t> s) -> std::optional<std::string> {
        if (s.size() < 5 || s[0] != 'T' || s[1] != 'P' || s[2] != 'F' || s[3] != '0') return std::nullopt;
        const size_t len = s[4];
        if (s.size() < 5 + len) return std::nullopt;
        return std::string(reinterpret_cast<const char*>(s.data()) + 5, len);
    };
    if (auto plain = ZlibDecompress(bytes)) return fromPlain(*plain);
    return fromPlain(bytes);
}

} // namespace drivlet
