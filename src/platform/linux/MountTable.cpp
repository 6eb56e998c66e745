#include "platform/linux/MountTable.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <fstream>
#include <sstream>

namespace drivlet {
namespace {

// The kernel writes blanks, tabs, newlines and backslashes in paths as \ooo.
std::string Unescape(std::string_view s) {
    auto octal = [](char c) { return c >= '0' && c <= '7'; };
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 3 < s.size() && octal(s[i + 1]) && octal(s[i + 2]) && octal(s[i + 3])) {
            out += static_cast<char>(((s[i + 1] - '0') << 6) | ((s[i + 2] - '0') << 3) | (s[i + 3] - '0'));
            i += 3;
            continue;
        }
        out += s[i];
    }
    return out;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t end = line.find(' ', pos);
        if (end == std::string_view::npos) end = line.size();
        if (end > pos) fields.push_back(line.substr(pos, end - pos));
        pos = end + 1;
    }
    return fields;
}

template <typename T> bool ParseNumber(std::string_view s, T& value) {
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return ec == std::errc() && ptr == s.data() + s.size();
}

std::optional<MountEntry> ParseLine(std::string_view line) {
    std::vector<std::string_view> f = SplitFields(line);
    if (f.size() < 9) return std::nullopt;
    auto dash = std::find(f.begin() + 6, f.end(), std::string_view("-"));
    if (dash == f.end() || f.end() - dash < 3) return std::nullopt;
    MountEntry e;
    size_t colon = f[2].find(':');
    if (colon == std::string_view::npos || !ParseNumber(f[0], e.mountId) || !ParseNumber(f[1], e.parentId) ||
        !ParseNumber(f[2].substr(0, colon), e.major) || !ParseNumber(f[2].substr(colon + 1), e.minor))
        return std::nullopt;
    e.root = Unescape(f[3]);
    e.mountPoint = Unescape(f[4]);
    e.options = std::string(f[5]);
    e.fsType = Unescape(dash[1]);
    e.source = Unescape(dash[2]);
    if (f.end() - dash > 3) e.superOptions = std::string(dash[3]);
    return e;
}

bool IsBelow(const std::string& path, std::string_view folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

bool Holds(const std::string& mountPoint, const std::string& path) {
    if (mountPoint == "/") return true;
    return path == mountPoint || IsBelow(path, mountPoint);
}

} // namespace

std::vector<MountEntry> ParseMountInfo(std::string_view text) {
    std::vector<MountEntry> table;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        if (auto e = ParseLine(text.substr(pos, end - pos))) table.push_back(std::move(*e));
        pos = end + 1;
    }
    return table;
}

std::optional<std::vector<MountEntry>> ReadMountTable(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return ParseMountInfo(text.str());
}

bool IsDriveMount(const MountEntry& entry) {
    static constexpr std::array<std::string_view, 26> kPseudo = {
        "proc",        "sysfs",          "cgroup",    "cgroup2",    "devpts",      "devtmpfs",
        "mqueue",      "debugfs",        "tracefs",   "securityfs", "pstore",      "bpf",
        "configfs",    "fusectl",        "hugetlbfs", "autofs",     "binfmt_misc", "efivarfs",
        "selinuxfs",   "rpc_pipefs",     "nsfs",      "nfsd",       "apparmorfs",  "smackfs",
        "fuse.portal", "fuse.gvfsd-fuse"};
    if (std::find(kPseudo.begin(), kPseudo.end(), entry.fsType) != kPseudo.end()) return false;
    const std::string& m = entry.mountPoint;
    if (m.empty() || m[0] != '/') return false;
    for (std::string_view pseudoTree : {"/proc", "/sys", "/dev"})
        if (m == pseudoTree || IsBelow(m, pseudoTree)) return false;
    return true;
}

std::string DrivePathOfMount(const std::string& mountPoint) {
    if (!mountPoint.empty() && mountPoint.back() == '/') return mountPoint;
    return mountPoint + "/";
}

std::vector<MountEntry> DriveMounts(const std::vector<MountEntry>& table) {
    std::vector<MountEntry> drives;
    for (const MountEntry& e : table) {
        if (!IsDriveMount(e)) continue;
        auto same = std::find_if(drives.begin(), drives.end(),
                                 [&](const MountEntry& d) { return d.mountPoint == e.mountPoint; });
        // A later mount on the same point covers the earlier one; the point keeps its place.
        if (same != drives.end())
            *same = e;
        else
            drives.push_back(e);
    }
    return drives;
}

const MountEntry* MountHolding(const std::vector<MountEntry>& table, const std::string& path) {
    std::string p = std::filesystem::path(path).lexically_normal().string();
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    const MountEntry* best = nullptr;
    for (const MountEntry& e : table) {
        if (!Holds(e.mountPoint, p)) continue;
        if (!best || e.mountPoint.size() >= best->mountPoint.size()) best = &e;
    }
    return best;
}

} // namespace drivlet
