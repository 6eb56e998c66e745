#include "cli/CliConsole.h"

#include <cctype>
#include <istream>
#include <ostream>

namespace drivlet::cli {

int CliDialogs::ShowNotice(const std::string& text, const std::string& title, MessageKind kind, const std::string&) {
    std::ostream& to = kind == MessageKind::Error || kind == MessageKind::Warning ? console_.err : console_.out;
    to << title << ": " << text << "\n";
    return dlg::Ok;
}

int CliDialogs::AskOkCancel(const std::string& text, const std::string& title, MessageKind, const std::string&) {
    if (console_.assumeYes) return dlg::Ok;
    const std::optional<char> answer = Ask(text, title, "[o]k/[c]ancel");
    return answer == 'o' ? dlg::Ok : dlg::Cancel;
}

int CliDialogs::AskYesNo(const std::string& text, const std::string& title, bool withCancel, MessageKind,
                         const std::string&) {
    if (console_.assumeYes) return dlg::Yes;
    const std::optional<char> answer = Ask(text, title, withCancel ? "[y]es/[n]o/[c]ancel" : "[y]es/[n]o");
    if (answer == 'y') return dlg::Yes;
    if (withCancel && answer == 'c') return dlg::Cancel;
    return dlg::No;
}

std::optional<char> CliDialogs::Ask(const std::string& text, const std::string& title, const std::string& choices) {
    console_.err << title << ": " << text << "\n";
    if (!console_.interactive) {
        console_.err << "(no terminal to ask on: answered no; --yes answers yes)\n";
        return std::nullopt;
    }
    for (;;) {
        console_.err << choices << "? " << std::flush;
        std::string line;
        if (!std::getline(console_.in, line)) return std::nullopt;
        for (char c : line) {
            if (std::isspace(static_cast<unsigned char>(c))) continue;
            const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (choices.find(std::string("[") + lower + "]") != std::string::npos) return lower;
            break;
        }
    }
}

} // namespace drivlet::cli
