#pragma once
// The file services as the program sets them up: with a journal of the temporary files they name,
// kept in a folder of the test's own beside the folders it works in.
#include "platform/linux/LinuxFileSystem.h"

#include <filesystem>

namespace drivlet::test {

inline LinuxFileSystemOptions JournalIn(const std::filesystem::path& folder) {
    LinuxFileSystemOptions options;
    options.temporaryJournal = folder;
    return options;
}

} // namespace drivlet::test
