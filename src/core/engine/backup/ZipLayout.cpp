#include "core/engine/backup/ZipLayout.h"

#include "core/engine/PathMapping.h"
#include "core/text/CaseFold.h"
#include "platform/FileSystem.h"

#include <algorithm>

namespace drivlet {
namespace {

std::string WithSlashes(std::string_view text) {
    std::string out(text);
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

// Past "\\server\share\" of a network path (the whole text when it has no share part).
std::size_t ShareEnd(std::string_view path) {
    const std::size_t server = path.find('\\', 2);
    if (server == std::string_view::npos) return path.size();
    const std::size_t share = path.find('\\', server + 1);
    return share == std::string_view::npos ? path.size() : share + 1;
}

} // namespace

std::string ZipArchiveName(std::string_view path) {
    if (path.empty() || path.front() == '/') return "Root.Zip";
    if (path.find(":\\") != std::string_view::npos) return std::string(1, path.front()) + ".Zip";
    std::string name = MappedPath(path); // every "\\" is "__" now
    const std::size_t first = name.find('\\');
    if (first != std::string::npos) name[first] = '~';
    const std::size_t next = name.find('\\');
    if (next != std::string::npos) name.resize(next);
    return name + ".Zip";
}

std::string ZipEntryName(std::string_view path) {
    if (path.empty() || path.front() == '/') return MappedPath(path);
    const std::size_t drive = path.find(":\\");
    if (drive != std::string_view::npos) return WithSlashes(path.substr(drive + 2));
    if (path.substr(0, 2) == "\\\\") return WithSlashes(path.substr(ShareEnd(path)));
    return WithSlashes(path);
}

std::optional<std::string> ZipSourceOf(std::string_view archiveName, std::string_view entryName) {
    if (!IsZipFileName(archiveName) || entryName.empty()) return std::nullopt;
    const std::string_view stem = archiveName.substr(0, archiveName.size() - 4);
    std::string source;
    if (SameText(archiveName, "Root.Zip")) {
        source = "/" + std::string(entryName);
    } else {
        std::string rest(entryName);
        std::replace(rest.begin(), rest.end(), '/', '\\');
        if (stem.size() == 1) {
            source = std::string(stem) + ":\\" + rest;
        } else if (stem.starts_with("__")) {
            std::string share(stem.substr(2));
            const std::size_t tilde = share.find('~');
            if (tilde == std::string::npos) return std::nullopt;
            share[tilde] = '\\';
            source = "\\\\" + share + "\\" + rest;
        } else {
            return std::nullopt;
        }
    }
    // Only a name the backup would give that source stands for it.
    if (!SameText(ZipArchiveName(source), archiveName) || ZipEntryName(source) != entryName)
        return std::nullopt;
    return source;
}

bool IsZipFileName(std::string_view name) {
    return name.size() > 4 && SameText(name.substr(name.size() - 4), ".zip");
}

bool IsZipWriteCopyOf(std::string_view name, std::string_view archiveName) {
    constexpr std::size_t kRandomPart = 6;
    if (name.size() != archiveName.size() + 1 + kRandomPart) return false;
    if (name.substr(0, archiveName.size()) != archiveName || name[archiveName.size()] != '.') return false;
    const std::string_view random = name.substr(archiveName.size() + 1);
    return std::all_of(random.begin(), random.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

std::string ZipWriteLockFile(std::string_view archive) {
    return std::string(FolderPart(archive)) + std::string(kTemporaryPrefix) + "writing-" +
           std::string(FileNamePart(archive));
}

} // namespace drivlet
