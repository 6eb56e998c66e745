#include "core/app/ProgramFolders.h"

#include <stdexcept>
#include <system_error>

namespace drivlet {

void AddProgramFolders(TDirConfigItems& items) {
    for (const char* name : {"AutoFill", "ErrorLogs", "ConfigData"}) {
        TDirConfigItem& item = items.Add(name, name);
        item.FileAttributes().SetHidden(true);
        item.FileAttributes().SetIndexed(true);
        item.FileAttributes().SetSystem(true);
    }
}

std::vector<std::string> CreateProgramFolders(const std::filesystem::path& given,
                                              const IFileAttributes& attributes) {
    // The manager takes relative paths below the root, so the root itself must not be one.
    const std::filesystem::path root = std::filesystem::absolute(given);
    TFolderManager manager(attributes, root);
    AddProgramFolders(manager.DirListEx);
    manager.ForceFolder(root.string());
    std::error_code ec;
    if (!std::filesystem::is_directory(root, ec))
        throw std::runtime_error("Cannot create the program data folder " + root.string() + ".");
    manager.CreateFolders();
    return std::move(manager.OutPutList);
}

} // namespace drivlet
