// The zip restore on archives made by the zip backup: round trips to the default and a custom
// place, a folder or a file chosen inside an archive, the deleted-files store, passwords, and a
// hand-made archive whose names try to leave the restore folder.
#include "RestoreFixture.h"

#include <zip.h>

#include <chrono>
#include <map>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

class ZipRestoreTest : public RestoreFixture {
protected:
    void Backup(const std::string& password = {}) {
        MakeTreeWithScript();
        RunZip(TArchiveMode::amIncremental, dest, password);
        Damage();
        clock.Advance(2 * kHour);
    }
    std::unique_ptr<TRestoreZipThread> MakeZipRestore(const std::string& target = {},
                                                      bool moveToDeleted = false) {
        return MakeRestore<TRestoreZipThread>(dest, target, moveToDeleted);
    }
    // Each central directory entry's name as stored, with whether it carries the UTF-8 flag.
    static std::map<std::string, bool> Utf8Flags(const std::string& zipFile) {
        const std::string bytes = ReadFile(zipFile);
        const auto u16 = [&](std::size_t at) {
            return static_cast<unsigned>(static_cast<unsigned char>(bytes[at])) |
                   static_cast<unsigned>(static_cast<unsigned char>(bytes[at + 1])) << 8;
        };
        std::map<std::string, bool> names;
        for (std::size_t at = bytes.find("PK\x01\x02"); at != std::string::npos && at + 46 <= bytes.size();
             at = bytes.find("PK\x01\x02", at + 4))
            names[bytes.substr(at + 46, u16(at + 28))] = (u16(at + 8) & 0x0800) != 0;
        return names;
    }
    // The status of the failed line of the path, or "" when none failed.
    std::string Failed(const std::string& path) {
        for (const auto& e : Logs("UnZip File"))
            if (e.isError && e.fileName == path) return e.status;
        return {};
    }
    // No temporary file is left beside the restored ones.
    void ExpectNoTemporaries(const std::string& folder) {
        for (const auto& e : fs::recursive_directory_iterator(folder))
            EXPECT_FALSE(IsTemporaryName(e.path().filename().string())) << e.path();
    }
};

TEST_F(ZipRestoreTest, TheWholeArchiveGoesBackToItsPlacesByteForByte) {
    Backup();
    auto job = MakeZipRestore();
    job->SetFolderList({dest + "Root.Zip"});
    RunJob(*job);
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
    EXPECT_EQ(ReadFile(source + "sub/b.txt"), "bravo");
    EXPECT_EQ(ReadFile(source + "run.sh"), "#!/bin/sh\necho hi\n");
    EXPECT_EQ(files.FileTime(source + "a.txt"), kFileTime);
    EXPECT_EQ(files.FileTime(source + "sub/b.txt"), kFileTime);
    EXPECT_NE(fs::status(source + "run.sh").permissions() & fs::perms::owner_exec, fs::perms::none);
    ExpectNoTemporaries(source);
    const auto lines = Logs("UnZip File");
    ASSERT_EQ(lines.size(), 4u);
    for (const auto& e : lines)
        EXPECT_EQ(e.status, "Done") << e.fileName;
    EXPECT_EQ(lines[0].fileName, EntryOf(source) + "a.txt");
    EXPECT_EQ(LastStatus(), " Finished !");
    EXPECT_EQ(job->Counters().FilesTotal, 4);
    EXPECT_EQ(History().size(), 1u);
    EXPECT_TRUE(storeRows.empty());
}

TEST_F(ZipRestoreTest, ACustomLocationReceivesThePathsBelowSlash) {
    Backup();
    auto job = MakeZipRestore(root + "Old");
    job->SetFolderList({dest + "Root.Zip/"});
    RunJob(*job);
    const std::string placed = root + "Old/" + EntryOf(source);
    EXPECT_EQ(ReadFile(placed + "a.txt"), "alpha");
    EXPECT_EQ(ReadFile(placed + "sub/deep/c.txt"), "charlie");
    EXPECT_EQ(ReadFile(source + "a.txt"), "ruined");
    EXPECT_FALSE(Exists(source + "sub/b.txt"));
}

TEST_F(ZipRestoreTest, AFolderChosenInsideTheArchiveBringsBackWhatLiesBelowIt) {
    Backup();
    auto job = MakeZipRestore();
    job->SetFolderList({dest + "Root.Zip/" + EntryOf(source) + "sub/"});
    job->SetFileList({"Root.Zip/" + EntryOf(source) + "run.sh"});
    RunJob(*job);
    EXPECT_EQ(ReadFile(source + "sub/b.txt"), "bravo");
    EXPECT_EQ(ReadFile(source + "sub/deep/c.txt"), "charlie");
    EXPECT_EQ(ReadFile(source + "a.txt"), "ruined");
    EXPECT_EQ(Logs("UnZip File").size(), 3u);
}

TEST_F(ZipRestoreTest, ASingleFileComesBackToItsPlace) {
    Backup();
    auto job = MakeZipRestore();
    job->SetFileList({"Root.Zip/" + EntryOf(source) + "a.txt", "Missing.Zip/x.txt"});
    RunJob(*job);
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
    EXPECT_FALSE(Exists(source + "sub/b.txt"));
    EXPECT_EQ(Logs("UnZip File").size(), 2u);
    EXPECT_EQ(Failed("Missing.Zip/x.txt"), "Nothing in this backup matches it");
}

// Each chosen path that matches nothing says so; a name without its "/" finds a folder too.
TEST_F(ZipRestoreTest, ChosenPathsThatMatchNothingFailEachWithItsName) {
    Backup();
    auto job = MakeZipRestore();
    job->SetFolderList({dest + "Root.Zip/" + EntryOf(source) + "gone/", dest + "Other.Zip"});
    job->SetFileList({"Root.Zip/" + EntryOf(source) + "sub", "Root.Zip/" + EntryOf(source) + "a.tx"});
    RunJob(*job);
    EXPECT_EQ(ReadFile(source + "sub/b.txt"), "bravo");
    EXPECT_EQ(Failed(dest + "Root.Zip/" + EntryOf(source) + "gone/"), "Nothing in this backup matches it");
    EXPECT_EQ(Failed(dest + "Other.Zip"), "Nothing in this backup matches it");
    EXPECT_EQ(Failed("Root.Zip/" + EntryOf(source) + "a.tx"), "Nothing in this backup matches it");
    EXPECT_EQ(Failed("Root.Zip/" + EntryOf(source) + "sub"), "");
    EXPECT_EQ(ReadFile(source + "a.txt"), "ruined");
}

// A Latin-1 name and a lone 0xff byte are stored as the bytes they are; times before 1980 and
// after 2107, which the DOS field cannot hold, come back to the second.
TEST_F(ZipRestoreTest, NamesThatAreNotUtf8AndDatesOutsideTheDosRangeComeBackAsTheyWere) {
    MakeTree();
    const std::string latin1 = "caf\xe9.txt", byte = "\xff.bin";
    Make(source + latin1, "latin");
    Make(source + byte, "byte");
    const std::string utf8 = "na\xc3\xafve.txt";
    Make(source + utf8, "utf-8");
    const auto setTime = [](const std::string& path, int64_t seconds) {
        fs::last_write_time(
            path, std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{seconds}}));
    };
    const auto timeOf = [](const std::string& path) {
        return std::chrono::floor<std::chrono::seconds>(
                   std::chrono::file_clock::to_sys(fs::last_write_time(path)))
            .time_since_epoch()
            .count();
    };
    const int64_t early = 170856000, late = 4738737600, middle = 2529748800; // 1975, 2120, 2050
    setTime(source + "a.txt", early);
    setTime(source + "sub/b.txt", late);
    setTime(source + latin1, middle);
    RunZip(TArchiveMode::amIncremental, dest);
    EXPECT_TRUE(Logs("Zip File").size() >= 5u);
    for (const auto& e : Logs("Zip File"))
        EXPECT_FALSE(e.isError) << e.fileName << ": " << e.status;
    const auto entries = Entries(archive);
    EXPECT_EQ(entries.count(EntryOf(source) + latin1), 1u);
    EXPECT_EQ(entries.count(EntryOf(source) + byte), 1u);
    // As the central directory has them: raw bytes without the UTF-8 flag; a UTF-8 name flagged.
    const std::map<std::string, bool> flagged = Utf8Flags(archive);
    EXPECT_EQ(flagged.at(EntryOf(source) + latin1), false);
    EXPECT_EQ(flagged.at(EntryOf(source) + byte), false);
    EXPECT_EQ(flagged.at(EntryOf(source) + utf8), true);

    const std::string out = root + "Out/";
    auto job = MakeZipRestore(out);
    job->SetFolderList({dest + "Root.Zip"});
    RunJob(*job);
    const std::string placed = out + EntryOf(source);
    EXPECT_EQ(ReadFile(placed + latin1), "latin");
    EXPECT_EQ(ReadFile(placed + byte), "byte");
    EXPECT_EQ(ReadFile(placed + utf8), "utf-8");
    EXPECT_EQ(timeOf(placed + "a.txt"), early);
    EXPECT_EQ(timeOf(placed + "sub/b.txt"), late);
    EXPECT_EQ(timeOf(placed + latin1), middle);
}

TEST_F(ZipRestoreTest, TheOverwrittenFileGoesIntoTheDeletedFilesStore) {
    Backup();
    auto job = MakeZipRestore({}, /*moveToDeleted=*/true);
    job->SetFileList({"Root.Zip/" + EntryOf(source) + "a.txt"});
    RunJob(*job);
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
    ASSERT_EQ(storeRows.size(), 1u);
    const std::string stored = store + storeRows[0].fileName;
    EXPECT_EQ(ReadFile(stored), "ruined");
}

TEST_F(ZipRestoreTest, EncryptedEntriesNeedTheirPasswordAndAFailureKeepsTheOldFile) {
    Backup("pass phrase");
    auto without = MakeZipRestore();
    without->SetFileList({"Root.Zip/" + EntryOf(source) + "a.txt"});
    RunJob(*without);
    EXPECT_EQ(ReadFile(source + "a.txt"), "ruined");
    ExpectNoTemporaries(source);
    auto failed = Logs("UnZip File");
    ASSERT_EQ(failed.size(), 1u);
    EXPECT_TRUE(failed[0].isError);
    EXPECT_EQ(failed[0].status, "Error Code " + std::to_string(ZIP_ER_NOPASSWD));

    auto wrong = MakeZipRestore();
    wrong->SetZipPassword("guess");
    wrong->SetFileList({"Root.Zip/" + EntryOf(source) + "a.txt"});
    RunJob(*wrong);
    EXPECT_EQ(ReadFile(source + "a.txt"), "ruined");
    ASSERT_EQ(Logs("UnZip File").size(), 1u);
    EXPECT_TRUE(Logs("UnZip File")[0].isError);

    auto right = MakeZipRestore();
    right->SetZipPassword("pass phrase");
    right->SetFolderList({dest + "Root.Zip"});
    RunJob(*right);
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
    EXPECT_EQ(ReadFile(source + "sub/b.txt"), "bravo");
}

TEST_F(ZipRestoreTest, AFolderAtTheFilesPlaceIsNeitherReplacedNorDiverted) {
    Backup();
    fs::remove(source + "a.txt");
    Make(source + "a.txt/inner.txt", "a folder took the name");
    auto job = MakeZipRestore({}, /*moveToDeleted=*/true);
    job->SetFileList({"Root.Zip/" + EntryOf(source) + "a.txt"});
    RunJob(*job);
    EXPECT_EQ(ReadFile(source + "a.txt/inner.txt"), "a folder took the name");
    EXPECT_TRUE(storeRows.empty());
    ExpectNoTemporaries(source);
    ASSERT_EQ(Logs("UnZip File").size(), 1u);
    EXPECT_TRUE(Logs("UnZip File")[0].isError);
}

TEST_F(ZipRestoreTest, ACancelInsideAnEntryKeepsTheOldFile) {
    MakeTree();
    std::string big(5 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>((i * 2654435761u) >> 11);
    Make(source + "big.bin", big);
    RunZip(TArchiveMode::amIncremental, dest);
    Make(source + "big.bin", "the newer file", kFirstRun + kHour);

    auto job = MakeZipRestore();
    job->SetFileList({"Root.Zip/" + EntryOf(source) + "big.bin"});
    events = std::make_unique<RecordingEvents>();
    events->onProgress = [&](const FileProgressEvent& e) {
        if (e.action == "Unziping File: " + EntryOf(source) + "big.bin" && e.percent > 0) job->Terminate();
    };
    RunJob(*job, events.get());
    EXPECT_EQ(ReadFile(source + "big.bin"), "the newer file");
    ExpectNoTemporaries(source);
    EXPECT_EQ(LastStatus(), " Canceled");
}

TEST_F(ZipRestoreTest, NamesLeadingOutOfTheRestoreFolderAreRefused) {
    const std::string backup = root + "Hand/";
    fs::create_directories(backup);
    int error = 0;
    zip_t* z = zip_open((backup + "Root.Zip").c_str(), ZIP_CREATE, &error);
    ASSERT_NE(z, nullptr);
    const char* text = "payload";
    for (const char* name : {"../x", "/abs", "ok/../../y", "good.txt"}) {
        zip_source_t* s = zip_source_buffer(z, text, 7, 0);
        ASSERT_GE(zip_file_add(z, name, s, 0), 0) << name;
    }
    ASSERT_EQ(zip_close(z), 0);
    Record("/good.txt");

    const std::string out = root + "Out/";
    auto job = MakeRestore<TRestoreZipThread>(backup, out);
    job->SetFolderList({backup + "Root.Zip"});
    RunJob(*job);
    EXPECT_EQ(ReadFile(out + "good.txt"), "payload");
    EXPECT_EQ(TreeBelow(out), (std::vector<std::string>{"good.txt"}));
    EXPECT_FALSE(Exists(root + "x"));
    EXPECT_FALSE(Exists(root + "y"));
    EXPECT_FALSE(Exists(root + "abs"));
    int refused = 0;
    for (const auto& e : Logs("UnZip File"))
        if (e.isError) ++refused;
    EXPECT_EQ(refused, 3);
}

// A killed restore's temporary file, noted as its own, goes when the next restore works in its
// folder; one of a live process stays, and a user's file of the same form is neither removed nor
// restored over.
TEST_F(ZipRestoreTest, TemporaryFilesOfKilledRestoresAreRemovedAndLiveOnesKept) {
    Backup();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A process of its own keeps a journal of its own.
        const LinuxFileSystem killed(JournalIn(journal.path()));
        Make(killed.TemporaryName(source), "half an entry of a killed restore");
        raise(SIGKILL);
        _exit(0);
    }
    ASSERT_EQ(waitpid(child, nullptr, 0), child);
    std::string dead;
    for (const auto& e : fs::directory_iterator(source))
        if (IsTemporaryName(e.path().filename().string())) dead = e.path().string();
    ASSERT_FALSE(dead.empty());
    const std::string live = files.TemporaryName(source);
    Make(live, "an entry being written now");
    const std::string users = source + ".drivlet-tmp-notes";
    Make(users, "the user's");
    auto job = MakeZipRestore();
    job->SetFolderList({dest + "Root.Zip"});
    RunJob(*job);
    EXPECT_EQ(ReadFile(source + "a.txt"), "alpha");
    EXPECT_FALSE(Exists(dead));
    EXPECT_TRUE(Exists(live));
    EXPECT_EQ(ReadFile(users), "the user's");
    std::vector<FolderEntry> listed;
    ASSERT_TRUE(files.ReadFolder(source, listed));
    std::vector<std::string> temporaries;
    for (const FolderEntry& entry : listed)
        if (IsTemporaryName(entry.name)) temporaries.push_back(entry.name);
    EXPECT_EQ(temporaries, std::vector<std::string>{".drivlet-tmp-notes"});
    ASSERT_TRUE(files.DeleteFile(live));
    fs::remove(users);
    ExpectNoTemporaries(source);
}

} // namespace
