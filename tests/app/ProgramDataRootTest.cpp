#include "core/app/ProgramDataRoot.h"

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>

namespace drivlet {
namespace {

EnvironmentLookup Env(std::map<std::string, std::string> vars) {
    return [vars](const std::string& name) -> std::optional<std::string> {
        const auto it = vars.find(name);
        if (it == vars.end()) return std::nullopt;
        return it->second;
    };
}

TEST(ProgramDataRoot, FollowsProgramDataThenXdgDataHomeThenHome) {
    EXPECT_EQ(ProgramDataRoot(Env({{"ProgramData", "/srv/pd"}, {"XDG_DATA_HOME", "/x"}, {"HOME", "/h"}})),
              "/srv/pd/Quorvane/Drivlet");
    // An empty ProgramData counts as missing.
    EXPECT_EQ(ProgramDataRoot(Env({{"ProgramData", ""}, {"XDG_DATA_HOME", "/x/data"}, {"HOME", "/h"}})),
              "/x/data/Quorvane/Drivlet");
    EXPECT_EQ(ProgramDataRoot(Env({{"HOME", "/home/alice"}})), "/home/alice/.local/share/Quorvane/Drivlet");
    // A relative or empty XDG_DATA_HOME is not used.
    EXPECT_EQ(ProgramDataRoot(Env({{"XDG_DATA_HOME", "data"}, {"HOME", "/h"}})),
              "/h/.local/share/Quorvane/Drivlet");
    EXPECT_EQ(ProgramDataRoot(Env({{"XDG_DATA_HOME", ""}, {"HOME", "/h"}})),
              "/h/.local/share/Quorvane/Drivlet");
    // A trailing separator does not double.
    EXPECT_EQ(ProgramDataRoot(Env({{"ProgramData", "/srv/pd/"}})), "/srv/pd/Quorvane/Drivlet");
}

TEST(ProgramDataRoot, NoFolderAtAllIsAnError) {
    EXPECT_THROW(ProgramDataRoot(Env({})), std::runtime_error);
    EXPECT_THROW(ProgramDataRoot(Env({{"HOME", ""}, {"ProgramData", ""}})), std::runtime_error);
}

TEST(ProgramDataRoot, ProcessEnvironmentReadsTheRealEnvironment) {
    setenv("DRIVLET_TEST_VARIABLE", "value é", 1);
    unsetenv("DRIVLET_TEST_UNSET");
    const EnvironmentLookup env = ProcessEnvironment();
    EXPECT_EQ(env("DRIVLET_TEST_VARIABLE"), "value é");
    EXPECT_EQ(env("DRIVLET_TEST_UNSET"), std::nullopt);
}

} // namespace
} // namespace drivlet
