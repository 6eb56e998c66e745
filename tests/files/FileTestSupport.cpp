#include "files/FileTestSupport.h"

#include "platform/linux/LinuxFileSystem.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace drivlet::test {

namespace fs = std::filesystem;

void WritePatternFile(const fs::path& path, int64_t size, uint32_t seed) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::vector<uint32_t> block(1 << 18); // 1 MiB
    uint32_t x = seed * 2654435761u + 1;
    for (int64_t left = size; left > 0;) {
        for (auto& w : block) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            w = x;
        }
        const auto n = static_cast<std::streamsize>(std::min<int64_t>(left, block.size() * 4));
        out.write(reinterpret_cast<const char*>(block.data()), n);
        left -= n;
    }
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

bool SameContent(const fs::path& a, const fs::path& b) {
    std::ifstream ia(a, std::ios::binary), ib(b, std::ios::binary);
    if (!ia || !ib || fs::file_size(a) != fs::file_size(b)) return false;
    std::vector<char> ba(1 << 20), bb(1 << 20);
    while (ia && ib) {
        ia.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        ib.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        if (ia.gcount() != ib.gcount() || !std::equal(ba.begin(), ba.begin() + ia.gcount(), bb.begin()))
            return false;
    }
    return true;
}

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool HasTempFile(const fs::path& folder) {
    for (const auto& name : NamesIn(folder))
        if (name.rfind(LinuxFileSystem::kTempPrefix, 0) == 0) return true;
    return false;
}

} // namespace drivlet::test
