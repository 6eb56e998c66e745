#pragma once
// The terminal a verb talks to: its streams, whether questions may be asked there, and the
// fixed answers given on the command line.
#include "core/app/MessageDialogs.h"
#include "core/engine/ThreadEvents.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace drivlet::cli {

struct CliConsole {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    bool interactive = false; // questions are read from `in`, a progress bar is drawn on `err`
    bool assumeYes = false;   // --yes
    std::optional<LowDiskAnswer> lowDisk; // --low-disk
};

// The launcher's questions: --yes answers Yes; on a terminal the user is asked; otherwise No.
class CliDialogs final : public IMessageDialogs {
public:
    explicit CliDialogs(CliConsole& console) : console_(console) {}
    int ShowNotice(const std::string& text, const std::string& title, MessageKind kind,
                   const std::string& caption) override;
    int AskOkCancel(const std::string& text, const std::string& title, MessageKind kind,
                    const std::string& caption) override;
    int AskYesNo(const std::string& text, const std::string& title, bool withCancel, MessageKind kind,
                 const std::string& caption) override;

private:
    // Reads one answer; the first letter of each choice is accepted. Nothing at end of input.
    std::optional<char> Ask(const std::string& text, const std::string& title, const std::string& choices);

    CliConsole& console_;
};

} // namespace drivlet::cli
