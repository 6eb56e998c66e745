#include "core/app/AutostartEntry.h"

#include "core/app/Constants.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace drivlet {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kReservedInExec = " \t\n\"'\\><~|&;$*?#()`";

// One argument of an Exec line: quoted where the desktop entry rules reserve a character, then
// written as a string value (whose own escape character is the backslash), "%" doubled.
std::string ExecArgument(std::string_view path) {
    std::string quoted;
    const bool quote = path.find_first_of(kReservedInExec) != std::string_view::npos;
    if (quote) quoted += '"';
    for (const char c : path) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) quoted += '\\';
        quoted += c;
    }
    if (quote) quoted += '"';
    std::string value;
    for (const char c : quoted) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '\n')
            value += "\\n";
        else if (c == '%')
            value += "%%";
        else
            value += c;
    }
    return value;
}

// An entry the user has hidden (through the desktop's settings) is switched off.
bool IsHidden(const std::string& content) {
    std::istringstream lines(content);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == "Hidden=true") return true;
    }
    return false;
}

std::string ErrnoText(const fs::path& file) {
    return file.string() + ": " + std::strerror(errno);
}

} // namespace

fs::path ConfigHomeFolder(const EnvironmentLookup& env) {
    // The base directory rules treat a relative XDG_CONFIG_HOME as not set.
    const auto configHome = env("XDG_CONFIG_HOME");
    if (configHome && !configHome->empty() && (*configHome)[0] == '/') return fs::path(*configHome);
    const auto home = env("HOME");
    if (home && !home->empty()) return fs::path(*home) / ".config";
    return {};
}

AutostartEntry::AutostartEntry(fs::path configHome, std::string programPath)
    : configHome_(std::move(configHome)), programPath_(std::move(programPath)) {}

fs::path AutostartEntry::File() const {
    return configHome_ / "autostart" / (std::string(kProductTitle) + ".desktop");
}

std::string AutostartEntry::DesktopEntryText(std::string_view programPath) {
    std::string text = "[Desktop Entry]\n"
                       "Type=Application\n"
                       "Name=";
    text += kProductTitle;
    text += "\nExec=" + ExecArgument(programPath) + "\n";
    text += "X-GNOME-Autostart-enabled=true\n";
    return text;
}

bool AutostartEntry::Check() {
    std::error_code ec;
    on_ = false;
    if (configHome_.empty() || !fs::is_regular_file(File(), ec)) return on_;
    std::ifstream in(File(), std::ios::binary);
    if (!in) return on_;
    std::ostringstream content;
    content << in.rdbuf();
    on_ = !IsHidden(content.str());
    return on_;
}

std::string AutostartEntry::SwitchOn() {
    if (configHome_.empty()) return "No configuration folder: neither XDG_CONFIG_HOME nor HOME is set.";
    const fs::path file = File();
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    if (ec) {
        Check();
        return file.parent_path().string() + ": " + ec.message();
    }
    // Written beside and renamed over, so that the desktop never reads half an entry.
    const fs::path temp = file.parent_path() / ("." + file.filename().string() + ".saving");
    std::string error;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        if (!out) error = ErrnoText(temp);
        const std::string text = DesktopEntryText(programPath_);
        if (error.empty() && !out.write(text.data(), static_cast<std::streamsize>(text.size())).flush())
            error = ErrnoText(temp);
    }
    if (error.empty()) {
        fs::rename(temp, file, ec);
        if (ec) error = file.string() + ": " + ec.message();
    }
    if (!error.empty()) fs::remove(temp, ec);
    Check();
    return error;
}

std::string AutostartEntry::SwitchOff() {
    std::string error;
    if (!configHome_.empty()) {
        std::error_code ec;
        fs::remove(File(), ec);
        if (ec) error = File().string() + ": " + ec.message();
    }
    Check();
    return error;
}

} // namespace drivlet
