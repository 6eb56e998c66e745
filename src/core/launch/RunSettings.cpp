#include "core/launch/RunSettings.h"

#include "core/db/ProgramDatabase.h"
#include "core/launch/DeletedDataLog.h"
#include "core/records/TProgramData.h"

#include <system_error>

namespace drivlet {

RunSettings LoadRunSettings(const std::filesystem::path& programDataRoot, IMessageDialogs& dialogs) {
    TProgramData settings(programDataRoot);
    settings.LoadCompressed(TProgramData::SettingsFile(programDataRoot), dialogs);
    RunSettings out;
    out.store = DeletedStoreSettings::From(settings);
    if (out.store.MoveToDeleted) {
        std::error_code ec;
        std::filesystem::create_directories(out.store.DeletedFolder, ec);
        const std::filesystem::path database = ProgramDatabase::PathFor(programDataRoot);
        std::filesystem::create_directories(database.parent_path(), ec);
        out.openDeletedLog = DeletedDataLogFactory(database);
    }
    return out;
}

} // namespace drivlet
