#include "cli/JobSettings.h"

#include "cli/RecordCommands.h"
#include "core/app/Constants.h"
#include "core/launch/ReadJobRecord.h"

#include <ostream>

namespace drivlet::cli {

JobSettings LoadJobSettings(const std::filesystem::path& programDataRoot, CliConsole& console) {
    CliDialogs dialogs(console);
    return LoadRunSettings(programDataRoot, dialogs);
}

bool LoadJobRecord(TSaveLoadComponent& record, const std::string& file, CliConsole& console) {
    const std::optional<JobRefusal> refusal = ReadJobRecord(record, file);
    if (!refusal) return true;
    ReportRefusal(*refusal, file, console);
    return false;
}

int ReportRefusal(const JobRefusal& refusal, const std::string& file, CliConsole& console) {
    switch (refusal.reason) {
    case RefusalReason::Damaged:
        console.err << refusal.title << ": " << refusal.text << "\n"
                    << file << ": the job file cannot be read\n";
        return exitcode::Unreadable;
    case RefusalReason::NotAJobFile:
    case RefusalReason::Missing:
    case RefusalReason::NoItem:
    case RefusalReason::HistoryUnreadable:
    case RefusalReason::RunMissing: // "file" is the run's folder then
        console.err << file << ": " << refusal.text << "\n";
        return exitcode::Unreadable;
    default:
        break;
    }
    CliDialogs dialogs(console);
    dialogs.ShowNotice(refusal.text, refusal.title, MessageKind::Error, std::string(kProductTitle));
    console.err << "The job was not started.\n";
    return exitcode::Cancelled;
}

} // namespace drivlet::cli
