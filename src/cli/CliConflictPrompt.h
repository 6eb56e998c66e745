#pragma once
// The conflicts of a two-way sync answered on the command line: one resolution for every pair
// (--conflicts=skip|computer|drive|newest), or asked pair by pair on a terminal (ask). Without a
// terminal, ask cancels the run before any file is touched. Deletions from a folder that lost
// every recorded file go ahead only with --allow-deletions; without it the run says how.
#include "cli/CliConsole.h"
#include "cli/RunCommand.h"
#include "core/engine/sync/IConflictPrompt.h"

namespace drivlet::cli {

class CliConflictPrompt final : public IConflictPrompt {
public:
    CliConflictPrompt(CliConsole& console, ConflictAnswer answer, bool allowDeletions = false)
        : console_(console), answer_(answer), allowDeletions_(allowDeletions) {}
    // Both answer before they return: the terminal is asked on the thread that drains the run.
    void Resolve(std::vector<TFilePair> pairs, Answer<drivlet::ConflictAnswer> answer) override;
    void ConfirmDeletions(std::vector<std::string> folders, size_t count, Answer<bool> answer) override;

private:
    drivlet::ConflictAnswer Chosen(const std::vector<TFilePair>& pairs);
    bool Allowed(const std::vector<std::string>& folders, size_t count);
    std::optional<TConflictResolution> AskFor(const TFilePair& pair, size_t number, size_t count);

    CliConsole& console_;
    ConflictAnswer answer_;
    bool allowDeletions_;
};

} // namespace drivlet::cli
