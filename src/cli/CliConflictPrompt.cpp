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

void CliConflictPrompt::Resolve(std::vector<TFilePair> pairs, Answer<drivlet::ConflictAnswer> answer) {
    answer(Chosen(pairs));
}

void CliConflictPrompt::ConfirmDeletions(std::vector<std::string> folders, size_t count,
                                         Answer<bool> answer) {
    answer(Allowed(folders, count));
}

drivlet::ConflictAnswer CliConflictPrompt::Chosen(const std::vector<TFilePair>& pairs) {
    TConflictResolution all = TConflictResolution::UseNewest;
    switch (answer_) {
    case ConflictAnswer::Skip:
        all = TConflictResolution::DoNothing;
        break;
    case ConflictAnswer::Computer:
        all = TConflictResolution::UseComputer;
        break;
    case ConflictAnswer::Drive:
        all = TConflictResolution::UseDrive;
        break;
    case ConflictAnswer::Newest:
        all = TConflictResolution::UseNewest;
        break;
    case ConflictAnswer::Ask: {
        console_.err << "File Conflicts: " << pairs.size() << " file(s) changed\n";
        if (!console_.interactive) {
            console_.err
                << "(no terminal to ask on: the run is cancelled; --conflicts=skip|computer|drive|newest "
                   "answers for every file)\n";
            return std::nullopt;
        }
        std::vector<TConflictResolution> chosen;
        for (size_t i = 0; i < pairs.size(); ++i) {
            const std::optional<TConflictResolution> answer = AskFor(pairs[i], i + 1, pairs.size());
            if (!answer) return std::nullopt;
            chosen.push_back(*answer);
        }
        return chosen;
    }
    }
    return std::vector<TConflictResolution>(pairs.size(), all);
}

bool CliConflictPrompt::Allowed(const std::vector<std::string>& folders, size_t count) {
    console_.err << "Every file recorded in";
    for (size_t i = 0; i < folders.size(); ++i)
        console_.err << (i == 0 ? " " : ", ") << folders[i];
    console_.err << " is missing (moved, deleted, or a volume not mounted).\n";
    if (allowDeletions_) {
        console_.err << count << " file(s) deleted on the other side, as --allow-deletions allows\n";
        return true;
    }
    console_.err << count
                 << " deletion(s) held back: if the files are gone on purpose, run again with "
                    "--allow-deletions to carry them out\n";
    return false;
}

std::optional<TConflictResolution> CliConflictPrompt::AskFor(const TFilePair& pair, size_t number,
                                                             size_t count) {
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
        case 'n':
        case 'N':
            return TConflictResolution::DoNothing;
        case 'c':
        case 'C':
            return TConflictResolution::UseComputer;
        case 'd':
        case 'D':
            return TConflictResolution::UseDrive;
        case 'w':
        case 'W':
            return TConflictResolution::UseNewest;
        case 'q':
        case 'Q':
            return std::nullopt;
        default:
            break;
        }
    }
}

} // namespace drivlet::cli
