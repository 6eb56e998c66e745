// Sizes of a sync wizard's lists: the four size texts, files measured at once, folders measured by
// walker threads that can be stopped or outlived, and the drives' space before and after a sync.
#include "core/drives/TDriveSpace.h"
#include "core/drives/TFileCollection.h"
#include "core/text/SizeTexts.h"
#include "engine/EngineTestSupport.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <map>
#include <mutex>
#include <thread>

namespace drivlet {
namespace {

namespace fs = std::filesystem;
using sizes::TFileCollection;
using sizes::TFileData;
using test::TempDir;
using test::WriteFile;

constexpr int64_t kMiB = 1 << 20;

TEST(SizeTexts, OneRuleInFourForms) {
    EXPECT_EQ(SizeText(1023), "1023 bytes");
    EXPECT_EQ(SizeText(1024), "1 Kb");
    EXPECT_EQ(SizeText(1048575), "1024 Kb"); // 1023.999 rounds within its unit
    EXPECT_EQ(SizeText(1073741824), "1 Gb");
    EXPECT_EQ(SizeText(5368709120), "5 Gb");
    EXPECT_EQ(SizeText(1536), "1.5 Kb");

    EXPECT_EQ(SignedSizeText(-1536), "-1.5 Kb");
    EXPECT_EQ(SignedSizeText(-5), "-5 bytes");
    EXPECT_EQ(SignedSizeText(INT64_MIN), "-8589934592 Gb");

    EXPECT_EQ(DriveSpaceText(-1), "N/A");
    EXPECT_EQ(DriveSpaceText(-1536), "-1.5 Kb");
    EXPECT_EQ(DriveSpaceText(10 * kMiB), "10 Mb");

    EXPECT_EQ(FileSizeText(-1), "File Not Found");
    EXPECT_EQ(FileSizeText(2048), "2 KB");
    EXPECT_EQ(FileSizeText(100), "100 Bytes");
    EXPECT_EQ(FileSizeText(3 * kMiB / 2), "1.5 MB");
    EXPECT_EQ(FileSizeText(int64_t{1} << 40), "1024 GB");
}

// Every change the collection raised, by entry, waited for with a generous deadline.
class Changes {
public:
    void Attach(TFileCollection& c) {
        c.SetOnItemChange([this](TFileCollection&, const TFileData& d) {
            std::lock_guard lock(mutex_);
            last_[d.Id] = d;
            ++count_[d.Id];
            changed_.notify_all();
        });
    }
    // The entry's latest change once it has had `n` of them and is not being measured.
    TFileData WaitFor(uint64_t id, int n = 1) {
        std::unique_lock lock(mutex_);
        const bool arrived = changed_.wait_for(lock, std::chrono::seconds(60),
                                               [&] { return count_[id] >= n && !last_[id].Measuring; });
        EXPECT_TRUE(arrived) << "no change of entry " << id;
        return last_[id];
    }
    int Count(uint64_t id) {
        std::lock_guard lock(mutex_);
        return count_[id];
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<uint64_t, TFileData> last_;
    std::map<uint64_t, int> count_;
};

class FileSizes : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem files;
    const std::string root = dir.path().string() + "/side";

    void SetUp() override {
        WriteFile(root + "/one.txt", std::string(1500, 'a'));
        WriteFile(root + "/tree/a.bin", std::string(1000, 'b'));
        WriteFile(root + "/tree/.hidden", std::string(24, 'c'));
        WriteFile(root + "/tree/sub/b.bin", std::string(2000, 'd'));
        WriteFile(root + "/tree/sub/deeper/c.bin", std::string(3, 'e'));
        fs::create_directories(root + "/tree/empty");
    }
};

TEST_F(FileSizes, FilesAtOnceFoldersByTheirWalkerMissingNamesAsNotFound) {
    TFileCollection c(files);
    Changes changes;
    changes.Attach(c);
    c.SetRootFolder(root);
    EXPECT_EQ(c.RootFolder(), root + "/");
    c.SetReadFileData(true);

    const size_t file = c.Add("one.txt", 7);
    const TFileData f = c.Entry(file);
    EXPECT_EQ(f.Row, 7);
    EXPECT_FALSE(f.IsFolder);
    EXPECT_EQ(f.Size, 1500);
    EXPECT_EQ(f.FileCount, 1);
    EXPECT_EQ(f.FolderCount, 0);
    EXPECT_EQ(changes.Count(f.Id), 1);

    const size_t folder = c.Add("tree");
    const TFileData t = changes.WaitFor(c.Entry(folder).Id);
    EXPECT_TRUE(t.IsFolder);
    EXPECT_EQ(t.Size, 1000 + 24 + 2000 + 3);
    EXPECT_EQ(t.FileCount, 4);
    EXPECT_EQ(t.FolderCount, 3); // sub, deeper, empty

    const size_t missing = c.Add("gone.txt");
    EXPECT_EQ(FileSizeText(c.Entry(missing).Size), "File Not Found");
    EXPECT_EQ(changes.Count(c.Entry(missing).Id), 1);

    // A new name is measured again, a name that leads nowhere shows as not found.
    c.SetFileName(file, "tree/sub");
    const TFileData renamed = changes.WaitFor(c.Entry(file).Id, 2);
    EXPECT_TRUE(renamed.IsFolder);
    EXPECT_EQ(renamed.Size, 2003);
    c.SetFileName(folder, "nothing");
    EXPECT_EQ(c.Entry(folder).Size, -1);
    EXPECT_EQ(c.FullPath(folder), root + "/nothing");
}

TEST_F(FileSizes, WithoutReadFileDataNothingIsMeasured) {
    TFileCollection c(files);
    c.SetRootFolder(root);
    const size_t i = c.Add("one.txt");
    EXPECT_EQ(c.Entry(i).Size, -1);
    EXPECT_EQ(c.Entry(i).FileCount, -1);
    EXPECT_EQ(c.Count(), 1u);
}

TEST_F(FileSizes, ALinkedFolderIsNotWalked) {
    fs::create_symlink(root + "/tree", root + "/tree/sub/back-up");
    TFileCollection c(files);
    Changes changes;
    changes.Attach(c);
    c.SetRootFolder(root);
    c.SetReadFileData(true);
    const TFileData t = changes.WaitFor(c.Entry(c.Add("tree")).Id);
    EXPECT_EQ(t.Size, 1000 + 24 + 2000 + 3);
    EXPECT_EQ(t.FolderCount, 3);
}

// Holds every listing of the gated folder until the test opens the gate.
class GatedListing final : public test::ForwardingFileSystem {
public:
    GatedListing(const IFileSystem& real, std::string gated)
        : ForwardingFileSystem(real), gated_(std::move(gated)) {}
    FileStatus ListFolder(const fs::path& folder, const FolderVisitor& visit,
                          ListDetail detail) const override {
        if (folder.string() == gated_) {
            std::unique_lock lock(mutex_);
            entered_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return open_; });
        }
        return real_.ListFolder(folder, visit, detail);
    }
    bool WaitEntered() const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60), [this] { return entered_; });
    }
    void Open() const {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }

private:
    std::string gated_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable bool entered_ = false;
    mutable bool open_ = false;
};

TEST_F(FileSizes, ARemovedEntrysWalkerDeliversNothing) {
    GatedListing gated(files, root + "/tree/");
    TFileCollection c(gated);
    Changes changes;
    changes.Attach(c);
    c.SetRootFolder(root);
    c.SetReadFileData(true);
    const uint64_t id = c.Entry(c.Add("tree")).Id;
    ASSERT_TRUE(gated.WaitEntered());
    // Removal waits for the walker; the gate opens once the entry has left the list.
    std::thread remover([&] { c.Delete(0); });
    while (c.Count() != 0)
        std::this_thread::yield();
    gated.Open();
    remover.join();
    EXPECT_EQ(changes.Count(id), 0);
}

TEST_F(FileSizes, ACollectionDestroyedWhileItsWalkersRunWaitsForThem) {
    for (int i = 0; i < 30; ++i)
        for (int j = 0; j < 20; ++j)
            WriteFile(root + "/big/d" + std::to_string(i) + "/f" + std::to_string(j), "x");
    Changes changes;
    {
        TFileCollection c(files);
        changes.Attach(c);
        c.SetRootFolder(root);
        c.SetReadFileData(true);
        for (int i = 0; i < 8; ++i)
            c.Add("big");
    }
    // Every walker has been joined; a late delivery would have touched freed memory.
    SUCCEED();
}

// Drives are the folders given to it; the space of each is scripted.
class FolderVolumes final : public IVolumeSystem {
public:
    std::vector<std::string> drives;
    std::optional<VolumeFacts> ReadVolume(const std::string&) const override { return std::nullopt; }
    uint32_t DriveType(const std::string&) const override { return drive_type::Removable; }
    std::string SystemFolder() const override { return "/"; }
    std::string DrivePathOf(const std::string& path) const override {
        std::string best;
        for (const std::string& d : drives)
            if (path.rfind(d, 0) == 0 && d.size() > best.size()) best = d;
        return best;
    }
    std::optional<uint32_t> MachineSerial() const override { return std::nullopt; }
    std::vector<MountedDrive> MountedDrives() const override { return {}; }
    std::string InterfaceTypeOfDrive(const std::string&) const override { return {}; }
};

class ScriptedSpace final : public test::ForwardingFileSystem {
public:
    using ForwardingFileSystem::ForwardingFileSystem;
    std::map<std::string, DiskSpace> space;
    DiskSpace GetDiskSpace(const fs::path& path) const override {
        const auto it = space.find(path.string());
        return it == space.end() ? DiskSpace{} : it->second;
    }
};

class DriveSpace : public ::testing::Test {
protected:
    TempDir dir;
    LinuxFileSystem real;
    ScriptedSpace files{real};
    FolderVolumes volumes;
    const std::string stick = dir.path().string() + "/E/";
    const std::string disk = dir.path().string() + "/C/";

    void SetUp() override {
        volumes.drives = {stick, disk};
        for (const std::string& d : {stick, disk}) {
            fs::create_directories(d);
            // Sparse: sizes of 10 MiB without writing them.
            std::ofstream(d + "big.bin").close();
            fs::resize_file(d + "big.bin", 10 * kMiB);
        }
    }
};

TEST_F(DriveSpace, EachSidesFilesAreRequiredOnTheOtherSidesDrive) {
    files.space[stick] = {50 * kMiB, 100 * kMiB};
    files.space[disk] = {11 * kMiB, 100 * kMiB};
    TFileCollection one(files), two(files);
    for (auto* side : {&one, &two})
        side->SetReadFileData(true);
    one.SetRootFolder(stick);
    two.SetRootFolder(disk);
    one.Add("big.bin");
    two.Add("big.bin");
    two.Add("unpaired.bin"); // no partner on side one: skipped

    TDriveSpace space(volumes, files);
    space.SetSideOne(&one);
    space.SetSideTwo(&two);
    space.Refresh();
    ASSERT_EQ(space.Drives().size(), 2u);
    const auto rows = space.Rows();
    ASSERT_EQ(rows.size(), 2u);
    // Ordered by drive text: C before E.
    EXPECT_EQ(rows[0].drive, disk);
    EXPECT_EQ(rows[0].size, "100 Mb");
    EXPECT_EQ(rows[0].free, "11 Mb");
    EXPECT_EQ(rows[0].required, "10 Mb");
    EXPECT_EQ(rows[0].freeAfter, "1 Mb");
    EXPECT_EQ(rows[0].level, SpaceLevel::Low);
    EXPECT_EQ(rows[1].drive, stick);
    EXPECT_EQ(rows[1].required, "10 Mb");
    EXPECT_EQ(rows[1].freeAfter, "40 Mb");
    EXPECT_EQ(rows[1].level, SpaceLevel::Plenty);

    // A second refresh starts over rather than adding to the last one.
    space.Refresh();
    EXPECT_EQ(space.Rows()[1].required, "10 Mb");
}

TEST_F(DriveSpace, LevelsAtTheirEdges) {
    TDriveData d{"/x/", 1000, 200, 100};
    EXPECT_EQ(SpaceLevelOf(d), SpaceLevel::Low); // exactly a tenth left
    d.SapceRequited = 99;
    EXPECT_EQ(SpaceLevelOf(d), SpaceLevel::Plenty);
    d.SapceRequited = 201;
    EXPECT_EQ(SpaceLevelOf(d), SpaceLevel::NotEnough);
    d.FreeSapce = -1;
    EXPECT_EQ(SpaceLevelOf(d), SpaceLevel::NotAvailable);
    EXPECT_EQ(SpaceLevelText(SpaceLevel::NotAvailable), "Not not avalable");
    EXPECT_EQ(SpaceLevelText(SpaceLevel::NotEnough), "Not enugh disk space");
    EXPECT_EQ(SpaceLevelText(SpaceLevel::Low), "Low on disk space");
    EXPECT_EQ(SpaceLevelText(SpaceLevel::Plenty), "Lot of free space on disk");
}

TEST_F(DriveSpace, UnknownSpaceAndShortfallsShowAsSuch) {
    files.space[disk] = {kMiB, 100 * kMiB};
    TDriveSpace space(volumes, files);
    // The stick's space cannot be read; a path on no drive at all stands for itself.
    TDriveData& e = space.DriveForPath(stick + "a/b");
    EXPECT_EQ(&e, &space.DriveForPath(stick + "c"));
    e.SapceRequited = 5;
    space.DriveForPath(disk + "x").SapceRequited = 2 * kMiB;
    TDriveData& nowhere = space.DriveForPath("/elsewhere/f");
    EXPECT_EQ(nowhere.Drive, "/elsewhere/f");
    EXPECT_EQ(nowhere.FreeSapce, -1);
    const auto rows = space.Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].drive, "/elsewhere/f");
    EXPECT_EQ(rows[1].drive, disk);
    EXPECT_EQ(rows[1].freeAfter, "-1 Mb");
    EXPECT_EQ(rows[1].level, SpaceLevel::NotEnough);
    EXPECT_EQ(rows[2].size, "N/A");
    EXPECT_EQ(rows[2].free, "N/A");
    EXPECT_EQ(rows[2].freeAfter, "N/A");
    EXPECT_EQ(rows[2].level, SpaceLevel::NotAvailable);
}

} // namespace
} // namespace drivlet
