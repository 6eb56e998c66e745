#pragma once
// Creates folders with their missing parents, gives them attributes and reports each action as a
// line of text. Never raises: failures appear only as report lines.
#include "core/app/TDirConfigItem.h"
#include "platform/FileAttributes.h"

#include <filesystem>
#include <string>
#include <vector>

namespace drivlet {

class TFolderManager {
public:
    // Relative paths are taken below baseFolder, an absolute folder (the current directory of the
    // process is never used).
    TFolderManager(const IFileAttributes& attributes, std::filesystem::path baseFolder);

    std::vector<std::string> DirList;
    TDirConfigItems DirListEx;
    std::vector<std::string> OutPutList;

    const std::filesystem::path& BaseFolder() const { return base_; }

    // Creates the folder and every missing parent; one report line per folder looked at.
    void ForceFolder(const std::string& path);
    // Every DirList folder, then every DirListEx folder with its attributes.
    void CreateFolders();
    // An absolute path unchanged, any other below the base folder.
    std::string ResolvePath(const std::string& path) const;

private:
    void ApplyAttributes(const std::string& path, const TDirConfigItem& item);

    const IFileAttributes& attributes_;
    std::filesystem::path base_;
};

} // namespace drivlet
