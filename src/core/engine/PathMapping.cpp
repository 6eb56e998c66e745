#include "core/engine/PathMapping.h"

#include <cstdio>

namespace drivlet {
namespace {

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    for (;;) {
        const std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos) break;
        out.append(text.substr(pos, hit - pos)).append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

} // namespace

std::string MappedPath(std::string_view path) {
    if (!path.empty() && path.front() == '/') {
        // All leading separators go, so the mapped path can never be read as absolute again.
        const std::size_t first = path.find_first_not_of('/');
        return first == std::string_view::npos ? std::string() : std::string(path.substr(first));
    }
    if (path.find(":\\") != std::string_view::npos) return ReplaceAll(path, ":\\", "\\");
    return ReplaceAll(path, "\\\\", "__");
}

std::string StoreStamp(TDateTime startTime) {
    const DateParts p = DecodeDateTime(startTime);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d-%02d", p.year, p.month, p.day, p.hour,
                  p.minute);
    return buffer;
}

std::string DeletedPathFor(std::string_view deletedFolder, TDateTime startTime, std::string_view path) {
    std::string result(deletedFolder);
    result += ' ';
    result += StoreStamp(startTime);
    result += '/';
    result += MappedPath(path);
    return result;
}

std::string_view FileNamePart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view FolderPart(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string_view() : path.substr(0, slash + 1);
}

} // namespace drivlet
