#include "cli/CliConflictPrompt.h"

#include "core/time/DateFormat.h"

#include <istream>
#include <ostream>

namespace drivlet::cli {
namespace {

std::string Side(const TFileData& file) {
    if (!file.Present()) return "(none)";
    if (file.FileSize < 0) return file.FileName + "  (File Not Found)";
    return file.FileName + "  " + std::to_string(file.FileSize) + " bytes  " +
           FormatDateTime(file.FileDateTime, "yyyy-mm-dd hh:nn:ss");
}

} // namespace

std::optional<std::vector<TConflictResolution>> CliConflictPrompt::Resolve(const std::vector<const TFilePair*>& pairs) {
    TConflictResolution all = TConflictResolution::UseNewest;
    switch (answer_) {
    case ConflictAnswer::Skip: all = TConflictResolution::DoNothing; break;
    case ConflictAnswer::Computer: all = TConflictResolution::UseComputer; break;
    case ConflictAnswer::Drive: all = TConflictResolution::UseDrive; break;
    case ConflictAnswer::Newest: all = TConflictResolution::UseNewest; break;
    case ConflictAnswer::Ask: {
        console_.err << "File Conflicts: " << pairs.size() << " file(s) changed\n";
        if (!console_.interactive) {
            console_.err << "(no terminal to ask on: the run is cancelled; --conflicts=skip|computer|drive|newest "
                            "answers for every file)\n";
            return std::nullopt;
        }
        std::vector<TConflictResolution> chosen;
        for (size_t i = 0; i < pairs.size(); ++i) {
            const std::optional<TConflictResolution> answer = AskFor(*pairs[i], i + 1, pairs.size());
            if (!answer) return std::nullopt;
            chosen.push_back(*answer);
        }
        return chosen;
    }
    }
    return std::vector<TConflictResolution>(pairs.size(), all);
}

std::optional<TConflictResolution> CliConflictPrompt::AskFor(const TFilePair& pair, size_t number, size_t count) {
    console_.err << "[" << number << "/" << count << "]\n  USB Drive: " << Side(pair.FileA)
                 << "\n  Computer:  " << Side(pair.FileB) << "\n";
    for (;;) {
        console_.err << "  [n] " << ConflictResolutionText(TConflictResolution::DoNothing) << "  [c] "
                     << ConflictResolutionText(TConflictResolution::UseComputer) << "  [d] "
                     << ConflictResolutionText(TConflictResolution::UseDrive) << "  [w] "
                     << ConflictResolutionText(TConflictResolution::UseNewest) << "  [q] cancel the run? "
                     << std::flush;
        std::string line;
        if (!std::getline(console_.in, line)) return std::nullopt;
        if (line.empty()) continue;
        switch (line.front()) {
        case 'n': case 'N': return TConflictResolution::DoNothing;
        case 'c': case 'C': return TConflictResolution::UseComputer;
        case 'd': case 'D': return TConflictResolution::UseDrive;
        case 'w': case 'W': return TConflictResolution::UseNewest;
        case 'q': case 'Q': return std::nullopt;
        default: break;
        }
    }
}

} // namespace drivlet::cli
