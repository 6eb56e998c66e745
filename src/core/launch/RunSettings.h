#pragma once
// What every run takes from the program's settings under the program data root: the
// deleted-files store, and the log of what went into it.
#include "core/app/MessageDialogs.h"
#include "core/engine/TThreadBase.h"

#include <filesystem>

namespace drivlet {

struct RunSettings {
    DeletedStoreSettings store;
    DeletedFilesLogFactory openDeletedLog; // empty: the store's moves are not logged
};

// Missing settings are the defaults, a damaged settings file is one notice and the defaults; the
// store's folder and the program database's folder are made when the store is in use.
RunSettings LoadRunSettings(const std::filesystem::path& programDataRoot, IMessageDialogs& dialogs);

} // namespace drivlet
