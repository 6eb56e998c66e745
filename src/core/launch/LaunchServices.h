#pragma once
// What the launcher works with: the workers' services, the dialogs its questions go through, this
// computer's identity and the deleted-files settings of the program.
#include "core/app/MessageDialogs.h"
#include "core/engine/TThreadBase.h"

#include <string>

namespace drivlet {

struct LaunchServices {
    ThreadServices threads;
    IMessageDialogs& dialogs;
    std::string computerId;
    DeletedStoreSettings store;
    DeletedFilesLogFactory openDeletedLog; // empty: the store's moves are not logged
};

} // namespace drivlet
