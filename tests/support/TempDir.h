#pragma once
// A fresh folder below the system's temporary folder, removed with everything in it.
#include <filesystem>
#include <string>

namespace drivlet::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Temporary folders stand for drives: a test's runs take any folder for a drive root.
inline bool AnyFolderIsADrive(const std::string&) {
    return true;
}

void WriteFile(const std::filesystem::path& path, const std::string& content);
std::string ReadFile(const std::filesystem::path& path);

} // namespace drivlet::test
