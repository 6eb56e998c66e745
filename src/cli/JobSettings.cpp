#include "cli/JobSettings.h"

#include "core/db/ProgramDatabase.h"
#include "core/launch/DeletedDataLog.h"
#include "core/records/TProgramData.h"

#include <ostream>
#include <system_error>

namespace drivlet::cli {

JobSettings LoadJobSettings(const std::filesystem::path& programDataRoot, CliConsole& console) {
    CliDialogs dialogs(console);
    TProgramData settings(programDataRoot);
    settings.LoadCompressed(TProgramData::SettingsFile(programDataRoot), dialogs);
    JobSettings out;
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

bool LoadJobRecord(TSaveLoadComponent& record, const std::string& file, CliConsole& console) {
    CliDialogs dialogs(console);
    switch (record.LoadCompressed(file, dialogs)) {
    case LoadResult::Loaded: return true;
    case LoadResult::Missing: console.err << file << ": no such job file\n"; return false;
    case LoadResult::Failed: console.err << file << ": the job file cannot be read\n"; return false;
    }
    return false;
}

} // namespace drivlet::cli
