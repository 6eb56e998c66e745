// Launch at log-in through the desktop's autostart folder: switched on and off, read back, the
// program path written so the desktop runs it whatever characters it holds.
#include "core/app/AutostartEntry.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <map>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using test::WriteFile;

EnvironmentLookup Env(std::map<std::string, std::string> values) {
    return [values](const std::string& name) -> std::optional<std::string> {
        const auto it = values.find(name);
        if (it == values.end()) return std::nullopt;
        return it->second;
    };
}

TEST(AutostartEntry, TheConfigurationFolderFollowsTheBaseDirectoryRules) {
    EXPECT_EQ(ConfigHomeFolder(Env({{"XDG_CONFIG_HOME", "/x/conf"}, {"HOME", "/home/ann"}})), "/x/conf");
    EXPECT_EQ(ConfigHomeFolder(Env({{"XDG_CONFIG_HOME", "rel"}, {"HOME", "/home/ann"}})),
              "/home/ann/.config");
    EXPECT_EQ(ConfigHomeFolder(Env({{"HOME", "/home/ann"}})), "/home/ann/.config");
    EXPECT_EQ(ConfigHomeFolder(Env({})), fs::path());
}

TEST(AutostartEntry, SwitchedOnWritesTheEntryAndOffRemovesIt) {
    TempDir dir;
    AutostartEntry entry(dir / "config", "/opt/drivlet/bin/drivlet");
    EXPECT_EQ(entry.File(), dir / "config/autostart/Drivlet.desktop");
    EXPECT_FALSE(entry.Check());
    EXPECT_EQ(entry.ButtonCaption(), "Enable launch at windows startup");

    ASSERT_EQ(entry.Toggle(), "");
    EXPECT_TRUE(entry.IsOn());
    EXPECT_EQ(entry.ButtonCaption(), "Disable launch at windows startup");
    EXPECT_EQ(ReadFile(entry.File()), "[Desktop Entry]\n"
                                      "Type=Application\n"
                                      "Name=Drivlet\n"
                                      "Exec=/opt/drivlet/bin/drivlet\n"
                                      "X-GNOME-Autostart-enabled=true\n");
    // Another object (the Options window shown again) sees it too.
    EXPECT_TRUE(AutostartEntry(dir / "config", "").Check());

    ASSERT_EQ(entry.Toggle(), "");
    EXPECT_FALSE(entry.IsOn());
    EXPECT_FALSE(fs::exists(entry.File()));
    EXPECT_EQ(entry.ButtonCaption(), "Enable launch at windows startup");
    EXPECT_EQ(entry.SwitchOff(), ""); // already off: nothing to remove, no error
}

TEST(AutostartEntry, AnEntryTheUserHidIsOffAndSwitchingOnReplacesIt) {
    TempDir dir;
    AutostartEntry entry(dir.path(), "/usr/bin/drivlet");
    WriteFile(entry.File(),
              "[Desktop Entry]\r\nType=Application\r\nExec=/usr/bin/drivlet\r\nHidden=true\r\n");
    EXPECT_FALSE(entry.Check());
    ASSERT_EQ(entry.SwitchOn(), "");
    EXPECT_TRUE(entry.Check());
}

TEST(AutostartEntry, APathWithBlanksOrReservedCharactersIsQuotedAndEscaped) {
    EXPECT_NE(AutostartEntry::DesktopEntryText("/home/ann/My Apps/drivlet")
                  .find("\nExec=\"/home/ann/My Apps/drivlet\"\n"),
              std::string::npos);
    EXPECT_NE(AutostartEntry::DesktopEntryText("/opt/50%$/d").find("\nExec=\"/opt/50%%\\\\$/d\"\n"),
              std::string::npos);
}

TEST(AutostartEntry, FailuresAreReportedAndLeaveItOff) {
    TempDir dir;
    WriteFile(dir / "config", "a file where the folder should be");
    AutostartEntry entry(dir / "config", "/usr/bin/drivlet");
    EXPECT_NE(entry.SwitchOn(), "");
    EXPECT_FALSE(entry.IsOn());
    AutostartEntry nowhere("", "/usr/bin/drivlet");
    EXPECT_NE(nowhere.SwitchOn(), "");
    EXPECT_FALSE(nowhere.Check());
}

} // namespace
} // namespace drivlet
