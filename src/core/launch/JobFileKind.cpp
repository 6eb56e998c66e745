#include "core/launch/JobFileKind.h"

#include "core/text/CaseFold.h"

#include <filesystem>

namespace drivlet {

JobFileKind JobFileKindOf(std::string_view jobFile) {
    const std::string extension = LowerCase(std::filesystem::path(jobFile).extension().string());
    if (extension == ".ubk") return JobFileKind::Backup;
    if (extension == ".umv") return JobFileKind::Move;
    if (extension == ".usy") return JobFileKind::Sync;
    if (extension == ".upcsy") return JobFileKind::ComputerSync;
    return JobFileKind::None;
}

} // namespace drivlet
