#pragma once
// Launch at log-in: the desktop's autostart entry "Drivlet.desktop" in the user's autostart
// folder, holding the program's full path. The entry is there (and not hidden) exactly when the
// launch is on.
#include "core/app/ProgramDataRoot.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace drivlet {

inline constexpr std::string_view kEnableAutostartCaption = "Enable launch at windows startup";
inline constexpr std::string_view kDisableAutostartCaption = "Disable launch at windows startup";

// $XDG_CONFIG_HOME when it is a full path, else $HOME/.config; empty when neither is set.
std::filesystem::path ConfigHomeFolder(const EnvironmentLookup& env);

class AutostartEntry {
public:
    // `configHome` is the user's configuration folder (see ConfigHomeFolder); `programPath` the
    // program file's full path.
    AutostartEntry(std::filesystem::path configHome, std::string programPath);

    // configHome + "/autostart/Drivlet.desktop"
    std::filesystem::path File() const;

    // Looks whether the launch is on, and remembers it; an entry that cannot be read counts as off.
    bool Check();
    // As found by the last Check (or switch).
    bool IsOn() const { return on_; }
    // "Disable launch at windows startup" while on, "Enable launch at windows startup" while off.
    std::string_view ButtonCaption() const {
        return on_ ? kDisableAutostartCaption : kEnableAutostartCaption;
    }

    // Each returns the reason of a failure, empty on success, and checks again afterwards.
    [[nodiscard]] std::string SwitchOn();
    [[nodiscard]] std::string SwitchOff();
    // The button: off (at the last check) switches on, on switches off.
    [[nodiscard]] std::string Toggle() { return on_ ? SwitchOff() : SwitchOn(); }

    // The entry's content for a program path.
    static std::string DesktopEntryText(std::string_view programPath);

private:
    std::filesystem::path configHome_;
    std::string programPath_;
    bool on_ = false;
};

} // namespace drivlet
