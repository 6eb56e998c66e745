#include "core/launch/FinishMessages.h"

namespace drivlet {

std::string FinishMessage(JobKind kind, int64_t filesDone, int64_t errors, JobEnding ending) {
    std::string head;
    switch (kind) {
    case JobKind::Backup:
        head = "Backup file operation ";
        break;
    case JobKind::Move:
        head = "File moves ";
        break;
    case JobKind::Sync:
        head = "Sync file operation ";
        break;
    case JobKind::PCSync:
        head = "PC Sync file operation ";
        break;
    case JobKind::Restore:
        head = "Restore file operation ";
        break;
    }
    switch (ending) {
    case JobEnding::Completed:
        head += kind == JobKind::Move ? "cmpleted !" : "completed !";
        break;
    case JobEnding::Canceled:
        head += "canceled, not every file was done !";
        break;
    case JobEnding::Failed:
        head += "failed, not every file was done !";
        break;
    }
    return head + "\nTotal Files : " + std::to_string(filesDone < 0 ? 0 : filesDone) +
           "\nErrors : " + std::to_string(errors);
}

std::string_view FinishTitle(JobEnding ending) {
    switch (ending) {
    case JobEnding::Completed:
        return kJobCompletedTitle;
    case JobEnding::Canceled:
        return kJobCanceledTitle;
    case JobEnding::Failed:
        return kJobFailedTitle;
    }
    return kJobCompletedTitle;
}

} // namespace drivlet
