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

std::vector<std::string> CreateProgramFolders(const std::filesystem::path& root,
                                              const IFileAttributes& attributes) {
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
