#include "core/engine/restore/RestorePath.h"

#include "core/text/CaseFold.h"
#include "core/text/PathText.h"

namespace drivlet {
namespace {

bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

} // namespace

std::string RestorePathFor(std::string_view backupRoot, std::string_view path,
                           std::string_view restoreTarget) {
    if (path.size() < backupRoot.size() || path.substr(0, backupRoot.size()) != backupRoot) return {};
    const std::string_view rel = path.substr(backupRoot.size());
    if (!restoreTarget.empty()) return WithSlash(restoreTarget) + std::string(rel);
    if (rel.size() >= 2 && IsLetter(rel[0]) && rel[1] == '\\')
        return std::string(1, rel[0]) + ":" + std::string(rel.substr(1));
    // Only the leading pair stood for the "\\" of the share; a "__" inside a name is kept.
    if (rel.substr(0, 2) == "__" && rel.find('\\') != std::string_view::npos)
        return "\\\\" + std::string(rel.substr(2));
    return "/" + std::string(rel);
}

std::string ZipExtractionBase(std::string_view archiveName, std::string_view restoreTarget) {
    if (archiveName.size() <= 4 || !SameText(archiveName.substr(archiveName.size() - 4), ".zip")) return {};
    if (SameText(archiveName, "Root.Zip")) return restoreTarget.empty() ? "/" : WithSlash(restoreTarget);
    const std::string_view stem = archiveName.substr(0, archiveName.size() - 4);
    if (stem.size() == 1 && IsLetter(stem[0]))
        return restoreTarget.empty() ? std::string(stem) + ":\\"
                                     : WithSlash(restoreTarget) + std::string(stem) + "/";
    if (stem.size() > 2 && stem.substr(0, 2) == "__" && stem.find('~') != std::string_view::npos) {
        std::string share(stem.substr(2));
        share[share.find('~')] = '\\';
        return restoreTarget.empty() ? "\\\\" + share + "\\" : WithSlash(restoreTarget) + "__" + share + "\\";
    }
    return {};
}

bool IsSafeRelativeName(std::string_view name) {
    if (name.empty() || name.front() == '/') return false;
    std::size_t start = 0;
    while (start < name.size()) {
        const std::size_t end = std::min(name.find('/', start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") return false;
        if (part.find('\0') != std::string_view::npos) return false;
        start = end + 1;
    }
    return true;
}

} // namespace drivlet
