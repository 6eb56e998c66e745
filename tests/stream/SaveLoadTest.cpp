// The six save and load operations and what damaged input does to them.
#include "core/records/TArchiveData.h"
#include "core/records/TDiskConfigFile.h"
#include "core/stream/ObjectReader.h"
#include "core/stream/ZlibContainer.h"
#include "support/RecordingDialogs.h"
#include "support/StreamBytes.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>

using namespace drivlet;
using namespace drivlet::test;

namespace {

TArchiveData SampleJob() {
    ManualClock clock(40406.5);
    TArchiveData job(clock);
    job.BackupName = "Photos";
    job.FolderList = {"/home/alice/Photos/", "/home/alice/Café/"};
    job.FileFilter.ExcludeFileExtList = {".tmp"};
    job.FileFilter.Hidden = true;
    job.ArchiveDir = TArchiveDir::amPcToUsb;
    job.Destination = "/Backups/";
    job.PCID = "1A2B - 3C4D";
    return job;
}

void WriteBytes(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
    WriteFile(p, std::string(bytes.begin(), bytes.end()));
}

} // namespace

TEST(SaveLoad, CompressedFileStartsWithTheZlibHeaderAndLoadsBack) {
    TempDir dir;
    TArchiveData job = SampleJob();
    job.SaveCompressed(dir / "Photos.Ubk");
    const std::string raw = ReadFile(dir / "Photos.Ubk");
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(static_cast<uint8_t>(raw[0]), 0x78);
    EXPECT_EQ(static_cast<uint8_t>(raw[1]), 0xDA);
    // Nothing but the record is left in the folder.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);

    RecordingDialogs dialogs;
    TArchiveData back;
    EXPECT_EQ(back.LoadCompressed(dir / "Photos.Ubk", dialogs), LoadResult::Loaded);
    EXPECT_TRUE(dialogs.shown.empty());
    EXPECT_EQ(back.FolderList, job.FolderList);
    EXPECT_EQ(back.CreateDate, 40406.5);
    EXPECT_EQ(back.ArchiveDir, TArchiveDir::amPcToUsb);
    EXPECT_TRUE(back.FileFilter.Hidden);
    EXPECT_EQ(back.FileFilter.ExcludeFileExtList, job.FileFilter.ExcludeFileExtList);
}

TEST(SaveLoad, PlainStreamIsAcceptedInPlaceOfACompressedOne) {
    TempDir dir;
    RecordingDialogs dialogs;
    TArchiveData job = SampleJob();
    ASSERT_TRUE(job.SaveToFile(dir / "plain.ubk", dialogs));
    TArchiveData back;
    EXPECT_EQ(back.LoadCompressed(dir / "plain.ubk", dialogs), LoadResult::Loaded);
    EXPECT_EQ(back.BackupName, "Photos");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST(SaveLoad, MissingFileChangesNothing) {
    TempDir dir;
    RecordingDialogs dialogs;
    TArchiveData job = SampleJob();
    EXPECT_EQ(job.LoadCompressed(dir / "none.ubk", dialogs), LoadResult::Missing);
    EXPECT_EQ(job.LoadFromFile(dir / "none.ubk", dialogs), LoadResult::Missing);
    EXPECT_EQ(job.BackupName, "Photos");
    EXPECT_TRUE(dialogs.shown.empty());
}

TEST(SaveLoad, RandomBytesEndInTheLoadNoticeAndKeepConstructionValues) {
    TempDir dir;
    std::mt19937 rng(7);
    for (int round = 0; round < 50; ++round) {
        std::vector<uint8_t> junk(rng() % 400);
        for (auto& b : junk)
            b = static_cast<uint8_t>(rng());
        WriteBytes(dir / "junk.ubk", junk);
        RecordingDialogs dialogs;
        ManualClock clock(1);
        TArchiveData job(clock);
        EXPECT_EQ(job.LoadCompressed(dir / "junk.ubk", dialogs), LoadResult::Failed);
        ASSERT_EQ(dialogs.shown.size(), 1u);
        EXPECT_EQ(dialogs.shown[0].title, "File Load Error.");
        EXPECT_EQ(dialogs.shown[0].caption, "Drivlet");
        EXPECT_EQ(dialogs.shown[0].kind, MessageKind::Error);
        EXPECT_EQ(dialogs.shown[0].text,
                  "Error loading File : " + (dir / "junk.ubk").string() +
                      "\r\nFile appears to be corrupted and loading of this file is aborted.");
        EXPECT_EQ(job.Version, "Version : 1.0");
        EXPECT_TRUE(job.FolderList.Empty());
    }
}

TEST(SaveLoad, EveryTruncationOfARealRecordFailsCleanly) {
    TempDir dir;
    TArchiveData job = SampleJob();
    const std::vector<uint8_t> plain = job.SaveToBytes();
    const std::vector<uint8_t> packed = ZlibCompress(plain);
    for (const auto* whole : {&plain, &packed}) {
        for (size_t cut = 0; cut < whole->size(); ++cut) {
            WriteBytes(dir / "cut.ubk", {whole->begin(), whole->begin() + static_cast<std::ptrdiff_t>(cut)});
            RecordingDialogs dialogs;
            TArchiveData back;
            const LoadResult r = back.LoadCompressed(dir / "cut.ubk", dialogs);
            EXPECT_EQ(r, LoadResult::Failed) << "cut at " << cut;
            EXPECT_EQ(dialogs.shown.size(), 1u);
        }
    }
}

TEST(SaveLoad, FaultsKeepWhatWasReadSoFar) {
    struct Case {
        const char* what;
        std::vector<uint8_t> stream;
    };
    const Case cases[] = {
        {"unknown property",
         StreamBytes().Header("TArchiveData").Str("BackupName", "Kept").Str("NoSuchThing", "x").End().bytes},
        {"wrong tag for a boolean",
         StreamBytes().Header("TArchiveData").Str("BackupName", "Kept").Str("DeleteFile", "yes").End().bytes},
        {"unknown enumeration value", StreamBytes()
                                          .Header("TArchiveData")
                                          .Str("BackupName", "Kept")
                                          .Ident("ArchiveMode", "amSometimes")
                                          .End()
                                          .bytes},
        {"length beyond the end", StreamBytes()
                                      .Header("TArchiveData")
                                      .Str("BackupName", "Kept")
                                      .Name("Password")
                                      .Raw({12, 0xFF, 0xFF, 0xFF, 0x7F, 'a'})
                                      .bytes},
        {"negative length", StreamBytes()
                                .Header("TArchiveData")
                                .Str("BackupName", "Kept")
                                .Name("Password")
                                .Raw({20, 0xFF, 0xFF, 0xFF, 0xFF})
                                .bytes},
        {"wide length beyond the end", StreamBytes()
                                           .Header("TArchiveData")
                                           .Str("BackupName", "Kept")
                                           .Name("Password")
                                           .Raw({18, 0, 0, 0, 0x40})
                                           .bytes},
        {"a list property without .Strings", StreamBytes()
                                                 .Header("TArchiveData")
                                                 .Str("BackupName", "Kept")
                                                 .List("FolderList", {"/x/"})
                                                 .End()
                                                 .bytes},
        {"bad signature", StreamBytes().Chars("TPF1").Short("TArchiveData").Raw({0}).End().bytes},
    };
    TempDir dir;
    for (const Case& c : cases) {
        WriteBytes(dir / "bad.ubk", ZlibCompress(c.stream));
        RecordingDialogs dialogs;
        TArchiveData job;
        EXPECT_EQ(job.LoadCompressed(dir / "bad.ubk", dialogs), LoadResult::Failed) << c.what;
        EXPECT_EQ(dialogs.shown.size(), 1u) << c.what;
        if (std::string(c.what) != "bad signature") {
            EXPECT_EQ(job.BackupName, "Kept") << c.what;
        }
    }
}

TEST(SaveLoad, StreamOfAnotherClassLoadsWhenItsPropertiesExist) {
    TDiskConfigFile config;
    config.PCList.Add("1A2B - 3C4D");
    const std::vector<uint8_t> bytes = StreamBytes()
                                           .Header("TSomethingElse")
                                           .List("PCList.Strings", {"5E6F - 7A8B", "1A2B - 3C4D"})
                                           .End()
                                           .bytes;
    ReadObjectStream(bytes, config);
    EXPECT_EQ(config.PCList, (TStringList{"5E6F - 7A8B", "1A2B - 3C4D"}));
    EXPECT_TRUE(config.PCList.Contains("1a2b - 3c4d"));
}

TEST(SaveLoad, SaveToFileReportsFailureWithTheSaveNotice) {
    TempDir dir;
    RecordingDialogs dialogs;
    TDiskConfigFile config;
    EXPECT_FALSE(config.SaveToFile(dir / "no-such-folder" / "x.cfg", dialogs));
    ASSERT_EQ(dialogs.shown.size(), 1u);
    EXPECT_EQ(dialogs.shown[0].title, "File Save Error.");
    EXPECT_EQ(dialogs.shown[0].text.rfind(
                  "Error Saving File : " + (dir / "no-such-folder" / "x.cfg").string() + "\r\nError : ", 0),
              0u);
    EXPECT_THROW(config.SaveCompressed(dir / "no-such-folder" / "x.cfg"), std::runtime_error);
}

TEST(SaveLoad, FailedSaveLeavesTheOldFileWhole) {
    TempDir dir;
    TArchiveData job = SampleJob();
    job.SaveCompressed(dir / "job.ubk");
    const std::string before = ReadFile(dir / "job.ubk");
    // A folder in the way of the temporary file makes the save fail before the rename.
    std::filesystem::create_directory(dir / ".job.ubk.saving");
    WriteFile(dir / ".job.ubk.saving" / "x", "x");
    job.BackupName = "Changed";
    EXPECT_THROW(job.SaveCompressed(dir / "job.ubk"), std::runtime_error);
    EXPECT_EQ(ReadFile(dir / "job.ubk"), before);
}

TEST(SaveLoad, FieldOperations) {
    TDiskConfigFile config;
    config.PCList.Add("1A2B - 3C4D");
    const std::vector<uint8_t> field = config.SaveCompressedToField();

    TDiskConfigFile back;
    back.LoadCompressedFromField(std::nullopt); // null field: nothing
    EXPECT_TRUE(back.PCList.Empty());
    back.LoadCompressedFromField(field);
    EXPECT_EQ(back.PCList, config.PCList);

    TDiskConfigFile plain;
    plain.LoadCompressedFromField(config.SaveToBytes());
    EXPECT_EQ(plain.PCList, config.PCList);

    TDiskConfigFile bad;
    EXPECT_THROW(bad.LoadCompressedFromField(std::vector<uint8_t>{1, 2, 3}), StreamError);
    EXPECT_NO_THROW(bad.LoadCompressedFromField(std::vector<uint8_t>{}));
}
