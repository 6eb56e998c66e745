// drivlet-cli show and write: JSON out, JSON in, and the exit codes for what cannot be read.
#include "cli/RecordCommands.h"
#include "core/records/TArchiveData.h"
#include "core/records/TProgramData.h"
#include "core/stream/ObjectWriter.h"
#include "support/RecordingDialogs.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>

using namespace drivlet;
using namespace drivlet::test;

TEST(RecordCommands, ShowPrintsPropertiesInStreamOrder) {
    TempDir dir;
    ManualClock clock(40406.5);
    TArchiveData job(clock);
    job.BackupName = "Café";
    job.FolderList = {"/home/a/"};
    job.FileFilter.Hidden = true;
    job.ArchiveMode = TArchiveMode::amMove;
    job.SaveCompressed(dir / "job.Ubk");

    std::ostringstream out, err;
    ASSERT_EQ(cli::ShowRecord(dir / "job.Ubk", dir.path(), out, err), cli::exitcode::Ok) << err.str();
    const auto json = nlohmann::ordered_json::parse(out.str());
    EXPECT_EQ(json["class"], "TArchiveData");
    const auto& p = json["properties"];
    std::vector<std::string> keys;
    for (const auto& [k, v] : p.items())
        keys.push_back(k);
    ASSERT_GE(keys.size(), 6u);
    EXPECT_EQ(std::vector<std::string>(keys.begin(), keys.begin() + 6),
              (std::vector<std::string>{"Tag", "FolderList", "ExcludeList", "FileList", "FileFilter",
                                        "BackupName"}));
    EXPECT_EQ(p["BackupName"], "Café");
    EXPECT_EQ(p["FileFilter"]["Hidden"], true);
    EXPECT_EQ(p["ArchiveMode"], "amMove");
    EXPECT_EQ(p["CreateDate"], 40406.5);
}

TEST(RecordCommands, WriteThenShowGivesTheSameRecord) {
    TempDir dir;
    std::istringstream in(R"({"class": "TProgramData", "properties": {
        "MoveToDeleted": true, "MaxDeletedSize": 5242880000, "ScheduleRunMode": "srmSkip"}})");
    std::ostringstream err;
    ASSERT_EQ(cli::WriteRecord(dir / "Config.cfg", dir.path(), in, err), cli::exitcode::Ok) << err.str();

    RecordingDialogs dialogs;
    TProgramData back(dir.path());
    ASSERT_EQ(back.LoadCompressed(dir / "Config.cfg", dialogs), LoadResult::Loaded);
    EXPECT_TRUE(back.MoveToDeleted);
    EXPECT_EQ(back.MaxDeletedSize, 5242880000);
    EXPECT_EQ(back.ScheduleRunMode, TScheduleRunMode::srmSkip);
    EXPECT_EQ(back.DeletedFolder, (dir.path() / "Deleted").string() + "/"); // construction value kept
}

TEST(RecordCommands, WhatCannotBeReadExitsWith3) {
    TempDir dir;
    std::ostringstream out, err;
    EXPECT_EQ(cli::ShowRecord(dir / "missing.ubk", dir.path(), out, err), cli::exitcode::Unreadable);
    WriteFile(dir / "junk.ubk", "not a record at all");
    EXPECT_EQ(cli::ShowRecord(dir / "junk.ubk", dir.path(), out, err), cli::exitcode::Unreadable);

    const char* bad[] = {
        "{not json",
        R"({"class": "TNothing", "properties": {}})",
        R"({"class": "TSyncData", "properties": {"NoSuch": 1}})",
        R"({"class": "TSyncData", "properties": {"SyncDirection": "sdSideways"}})",
        R"({"class": "TSchedule", "properties": {"DayOfMonth": 300}})",
        R"({"class": "TSyncData", "properties": {"FileFilter": {"Hidden": "yes"}}})",
    };
    for (const char* text : bad) {
        std::istringstream in(text);
        std::ostringstream e;
        EXPECT_EQ(cli::WriteRecord(dir / "out.usy", dir.path(), in, e), cli::exitcode::Unreadable) << text;
        EXPECT_FALSE(e.str().empty()) << text;
        EXPECT_FALSE(std::filesystem::exists(dir / "out.usy")) << text;
    }
}
