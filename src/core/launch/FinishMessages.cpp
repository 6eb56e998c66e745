#include "core/launch/FinishMessages.h"

namespace drivlet {

std::string FinishMessage(JobKind kind, int64_t filesDone, int64_t errors) {
    std::string head;
    switch (kind) {
    case JobKind::Backup: head = "Backup file operation completed !"; break;
    case JobKind::Move: head = "File moves cmpleted !"; break;
    case JobKind::Sync: head = "Sync file operation completed !"; break;
    case JobKind::PCSync: head = "PC Sync file operation completed !"; break;
    case JobKind::Restore: head = "Restore file operation completed !"; break;
    }
    return head + "\nTotal Files : " + std::to_string(filesDone < 0 ? 0 : filesDone) + "\nErrors : " +
           std::to_string(errors);
}

} // namespace drivlet
