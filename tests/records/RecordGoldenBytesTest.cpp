// Each record's stream spelled out from its property table, and round trips of every record.
#include "core/records/TArchiveData.h"
#include "core/records/TDiskConfigFile.h"
#include "core/records/TProgramData.h"
#include "core/records/TSyncData.h"
#include "core/schedule/TSchedule.h"
#include "core/stream/ObjectReader.h"
#include "core/stream/ObjectWriter.h"
#include "support/RecordingDialogs.h"
#include "support/StreamBytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace drivlet;
using namespace drivlet::test;

namespace {

// 2010-08-16 12:00 as an 80-bit extended: significand 0x9DD68 << 44, exponent 16383 + 15.
constexpr std::initializer_list<int> kCreateDateBytes = {5, 0, 0, 0, 0, 0, 0x80, 0xD6, 0x9D, 0x0E, 0x40};

template <class R> void RoundTrip(R& original, R& back) {
    TempDir dir;
    original.SaveCompressed(dir / "record");
    RecordingDialogs dialogs;
    ASSERT_EQ(back.LoadCompressed(dir / "record", dialogs), LoadResult::Loaded);
    EXPECT_TRUE(dialogs.shown.empty());
    // Writing what was read gives the same bytes: nothing was lost or altered.
    EXPECT_EQ(WriteObjectStream(back), WriteObjectStream(original));
}

} // namespace

TEST(RecordGoldenBytes, NewArchiveData) {
    ManualClock clock(40406.5);
    TArchiveData job(clock);
    const auto expected = StreamBytes()
                              .Header("TArchiveData")
                              .Name("CreateDate")
                              .Raw(kCreateDateBytes)
                              .Ident("ArchiveMode", "amIncremental")
                              .Ident("ArchiveType", "atFile")
                              .Ident("ArchiveDir", "amUsbToPc")
                              .Str("Version", "Version : 1.0")
                              .Int8("Port", 0)
                              .Bool("PassiveConnection", false)
                              .Int8("BackupSystem", 0)
                              .Bool("DeleteFile", false)
                              .End()
                              .bytes;
    EXPECT_EQ(WriteObjectStream(job), expected);
}

TEST(RecordGoldenBytes, FilterWithOnlyHiddenWritesOneRecord) {
    ManualClock clock(40406.5);
    TArchiveData job(clock);
    job.FileFilter.Hidden = true;
    const auto bytes = WriteObjectStream(job);
    const auto hidden = StreamBytes().Bool("FileFilter.Hidden", true).bytes;
    const auto at = std::search(bytes.begin(), bytes.end(), hidden.begin(), hidden.end());
    ASSERT_NE(at, bytes.end());
    // It stands right after the header, where the filter's position is.
    EXPECT_EQ(at - bytes.begin(), 4 + 1 + 12 + 1);
}

TEST(RecordGoldenBytes, SyncData) {
    TSyncData job;
    job.SyncName = "Docs";
    job.FolderAList = {"/Docs/"};
    job.FolderBList = {"/home/alice/Docs/"};
    job.PCID = "1A2B - 3C4D";
    job.FileFilter.Hidden = true;
    job.SyncDefaultAction = TSyncDefaultAction::sdaNewVersion;
    const auto expected = StreamBytes()
                              .Header("TSyncData")
                              .Str("SyncName", "Docs")
                              .List("FolderAList.Strings", {"/Docs/"})
                              .List("FolderBList.Strings", {"/home/alice/Docs/"})
                              .Str("Version", "Version : 1.0")
                              .Str("PCID", "1A2B - 3C4D")
                              .Bool("FileFilter.Hidden", true)
                              .Ident("SyncMode", "smFolder")
                              .Ident("SyncDirection", "sdBidi")
                              .Ident("SyncDefaultAction", "sdaNewVersion")
                              .End()
                              .bytes;
    EXPECT_EQ(WriteObjectStream(job), expected);
}

TEST(RecordGoldenBytes, PCSyncDataWithTwoItems) {
    TPCSyncData job;
    job.SyncName = "Shared";
    TSyncDataItem& a = job.SyncDataItems.Add();
    a.ID = "PC1";
    a.FolderAList = {"/Shared/"};
    a.FolderBList = {"/home/a/Shared/"};
    a.PCID = "1A2B - 3C4D";
    TSyncDataItem& b = job.SyncDataItems.Add();
    b.ID = "PC2";
    b.PCID = "5E6F - 7A8B";
    b.SyncDirection = TSyncDirection::sdPCToUSB;
    const auto expected = StreamBytes()
                              .Header("TPCSyncData")
                              .Str("SyncName", "Shared")
                              .Str("Version", "Version : 1.0")
                              .Name("SyncDataItems")
                              .Raw({14, 1})
                              .Str("ID", "PC1")
                              .List("FolderAList.Strings", {"/Shared/"})
                              .List("FolderBList.Strings", {"/home/a/Shared/"})
                              .Str("Version", "Version : 1.0")
                              .Str("PCID", "1A2B - 3C4D")
                              .Ident("SyncDirection", "sdBidi")
                              .Ident("SyncDefaultAction", "sdaAsk")
                              .Raw({0, 1})
                              .Str("ID", "PC2")
                              .Str("Version", "Version : 1.0")
                              .Str("PCID", "5E6F - 7A8B")
                              .Ident("SyncDirection", "sdPCToUSB")
                              .Ident("SyncDefaultAction", "sdaAsk")
                              .Raw({0, 0})
                              .End()
                              .bytes;
    EXPECT_EQ(WriteObjectStream(job), expected);

    TPCSyncData empty;
    EXPECT_EQ(WriteObjectStream(empty), StreamBytes()
                                            .Header("TPCSyncData")
                                            .Str("Version", "Version : 1.0")
                                            .Name("SyncDataItems")
                                            .Raw({14, 0})
                                            .End()
                                            .bytes);
}

TEST(RecordGoldenBytes, ProgramDataDefaultsAndA5000MbLimit) {
    TProgramData settings("/data/Quorvane/Drivlet");
    EXPECT_EQ(settings.DeletedFolder, "/data/Quorvane/Drivlet/Deleted/");
    auto expected = [](std::initializer_list<int> size) {
        return StreamBytes()
            .Header("TProgramData")
            .Bool("MoveToDeleted", false)
            .Str("DeletedFolder", "/data/Quorvane/Drivlet/Deleted/")
            .Name("MaxDeletedSize")
            .Raw(size)
            .Bool("CheckForUpdates", false)
            .Bool("ShowHidden", false)
            .Bool("MiniWindows", false)
            .Ident("ScheduleRunMode", "srmAsk")
            .End()
            .bytes;
    };
    EXPECT_EQ(WriteObjectStream(settings), expected({4, 0, 0, 0, 0x40}));
    settings.MaxDeletedSize = int64_t{5000} * 1048576; // 0x1_3880_0000
    EXPECT_EQ(WriteObjectStream(settings), expected({19, 0, 0, 0x80, 0x38, 1, 0, 0, 0}));

    settings.DriveAutoRun = false;
    const auto bytes = WriteObjectStream(settings);
    const auto off = StreamBytes().Bool("DriveAutoRun", false).bytes;
    EXPECT_NE(std::search(bytes.begin(), bytes.end(), off.begin(), off.end()), bytes.end());
    TProgramData fresh("/x");
    ReadObjectStream(expected({4, 0, 0, 0, 0x40}), fresh);
    EXPECT_TRUE(fresh.DriveAutoRun); // absent means its declared default
}

TEST(RecordGoldenBytes, Schedule) {
    TSchedule fresh;
    EXPECT_EQ(WriteObjectStream(fresh), StreamBytes()
                                            .Header("TSchedule")
                                            .Int8("DayOfMonth", 1)
                                            .Int8("Month", 1)
                                            .Int8("DayOfMonthYearMode", 1)
                                            .Int8("TimeH", 0)
                                            .Int8("TimeM", 0)
                                            .End()
                                            .bytes);
    TSchedule weekly;
    weekly.ScheduleMode = TScheduleMode::smWeekly;
    weekly.SetWeekDay(TWeekDay::dWednesday, true);
    weekly.SetWeekDay(TWeekDay::dMonday, true);
    weekly.Every = 2;
    weekly.TimeH = 10;
    weekly.TimeM = 30;
    const auto expected = StreamBytes()
                              .Header("TSchedule")
                              .Ident("ScheduleMode", "smWeekly")
                              .Name("WeekDays")
                              .Raw({11})
                              .Short("dMonday")
                              .Short("dWednesday")
                              .Raw({0})
                              .Int8("DayOfMonth", 1)
                              .Int8("Every", 2)
                              .Int8("Month", 1)
                              .Int8("DayOfMonthYearMode", 1)
                              .Int8("TimeH", 10)
                              .Int8("TimeM", 30)
                              .End()
                              .bytes;
    EXPECT_EQ(WriteObjectStream(weekly), expected);
    TSchedule back;
    ReadObjectStream(expected, back);
    EXPECT_EQ(back.WeekDays, weekly.WeekDays);
    EXPECT_EQ(back.Every, 2);
}

TEST(RecordRoundTrip, ArchiveDataWithNonAsciiAndLongTexts) {
    ManualClock clock(40406.25);
    TArchiveData job(clock);
    job.BackupName = "Fotos é 漢字";
    job.FolderList = {"/home/alice/Café/", "/home/alice/漢字/", std::string(300, 'p') + "/"};
    job.ExcludeList = {"/home/alice/Café/tmp/"};
    job.FileList = {"/home/alice/notes.txt"};
    job.FileFilter.ExcludeFileExtList = {".tmp", ".bak"};
    job.FileFilter.ExcludeMaskList = {"~*.doc", "thumbs.db"};
    job.FileFilter.ReadOnly = true;
    job.LastUpdate = 40407.75;
    job.ArchiveMode = TArchiveMode::amTimeStampedIncremental;
    job.ArchiveType = TArchiveType::atImage;
    job.Password = std::string(300, 'x');
    job.GUID = "{3F2504E0-4F89-11D3-9A0C-0305E82C3301}";
    job.Port = 21;
    job.Path = "/";
    job.Destination = "/Backups/é/";
    job.BackupSystem = 3;
    job.DeleteFile = true;
    TArchiveData back;
    RoundTrip(job, back);
    EXPECT_EQ(back.BackupName, job.BackupName);
    EXPECT_EQ(back.FolderList, job.FolderList);
    EXPECT_EQ(back.Password, job.Password);
    EXPECT_EQ(back.FileFilter.ExcludeMaskList, job.FileFilter.ExcludeMaskList);
    EXPECT_EQ(back.LastUpdate, 40407.75);
    EXPECT_EQ(back.ArchiveMode, TArchiveMode::amTimeStampedIncremental);
}

TEST(RecordRoundTrip, SyncRecordsProgramDataScheduleDiskConfig) {
    TSyncData sync;
    sync.SyncName = "漢字";
    sync.FolderAList = {"<Root>", "/Docs/é/"};
    sync.FolderBList = {"/home/a/", "/home/a/Docs/"};
    sync.FileAList = {"/a.txt"};
    sync.FileBList = {"/home/a/a.txt"};
    sync.SyncMode = TSyncMode::smFile;
    sync.SyncDirection = TSyncDirection::sdUSBToPC;
    sync.CreateDate = 40000.5;
    TSyncData syncBack;
    RoundTrip(sync, syncBack);
    EXPECT_EQ(syncBack.FolderAList, sync.FolderAList);

    TPCSyncData pc;
    for (int i = 0; i < 3; ++i) {
        TSyncDataItem& item = pc.SyncDataItems.Add();
        item.ID = "{ID-" + std::to_string(i) + "}";
        item.FileFilter.ExcludeMaskList = {"*.tmp"};
        item.LastUpdate = 40000 + i;
    }
    TPCSyncData pcBack;
    pcBack.SyncDataItems.Add().ID = "stale";
    RoundTrip(pc, pcBack);
    ASSERT_EQ(pcBack.SyncDataItems.Count(), 3u);
    EXPECT_EQ(pcBack.SyncDataItems[2].ID, "{ID-2}");
    EXPECT_EQ(pcBack.SyncDataItems[1].FileFilter.ExcludeMaskList[0], "*.tmp");

    // An empty collection record leaves the collection as it was.
    TPCSyncData none;
    TPCSyncData keeps;
    keeps.SyncDataItems.Add().ID = "kept";
    ReadObjectStream(WriteObjectStream(none), keeps);
    ASSERT_EQ(keeps.SyncDataItems.Count(), 1u);

    TProgramData settings("/r");
    settings.MoveToDeleted = true;
    settings.DeletedFolder = "/home/alice/Gelöscht/";
    settings.MaxDeletedSize = int64_t{6000000} * 1048576;
    settings.ScheduleRunMode = TScheduleRunMode::srmSkip;
    settings.DriveDetectMode = -5;
    TProgramData settingsBack("/other");
    RoundTrip(settings, settingsBack);
    EXPECT_EQ(settingsBack.MaxDeletedSize, settings.MaxDeletedSize);

    TSchedule schedule;
    schedule.ScheduleMode = TScheduleMode::smOnesOnly;
    schedule.Month = 2;
    schedule.DayOfMonthYearMode = 29;
    schedule.TimeH = 23;
    schedule.TimeM = 59;
    TSchedule scheduleBack;
    RoundTrip(schedule, scheduleBack);

    TDiskConfigFile disk;
    TDiskConfigFile diskBack;
    diskBack.PCList = {"stale"};
    ReadObjectStream(WriteObjectStream(disk), diskBack);
    EXPECT_EQ(diskBack.PCList, (TStringList{"stale"})); // no record for an empty list
}

TEST(RecordRoundTrip, OutOfRangeValuesAreRefused) {
    TSchedule s;
    const auto bytes = StreamBytes().Header("TSchedule").Name("DayOfMonth").Raw({3, 0x2C, 0x01}).End().bytes;
    EXPECT_THROW(ReadObjectStream(bytes, s), StreamError); // 300 in a byte
    EXPECT_EQ(s.DayOfMonth, 1);
    const auto set =
        StreamBytes().Header("TSchedule").Name("WeekDays").Raw({11}).Short("dFunday").Raw({0}).End().bytes;
    EXPECT_THROW(ReadObjectStream(set, s), StreamError);
}
