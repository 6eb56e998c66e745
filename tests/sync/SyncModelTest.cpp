// Random edits on both sides between two-way runs under "Use the newest version", checked after
// each run against what must hold: both sides equal, and every version written since the last run
// still somewhere (on a side or in the deleted-files store).
#include "SyncRunSupport.h"

#include <random>
#include <set>

using namespace drivlet;
using namespace drivlet::test;
namespace fs = std::filesystem;

namespace {

constexpr std::array<const char*, 10> kNames = {"a.txt", "b.txt",     "c.doc",    "d",         "sub/e.txt",
                                               "sub/f.txt", "sub/deep/g", "h.txt", "sub/i.txt", "j.bin"};

class SyncModelTest : public SyncRunFixture {
protected:
    std::mt19937 random;
    int version = 0;     // every write gets its own content and its own time
    int minutes = 0;
    std::set<std::string> touched; // contents written or moved since the last run

    TDateTime NextTime() { return Day(1) + (++minutes) / 1440.0; }
    std::string Root(bool driveSide) const { return (driveSide ? drive : pc) + "Docs/"; }

    // The files of one side: relative path -> content.
    std::map<std::string, std::string> Side(bool driveSide) const {
        std::map<std::string, std::string> found;
        const std::string root = Root(driveSide);
        for (const auto& entry : fs::recursive_directory_iterator(root))
            if (entry.is_regular_file()) found[entry.path().string().substr(root.size())] = ReadFile(entry.path());
        return found;
    }
    std::set<std::string> Stored() const {
        std::set<std::string> found;
        if (fs::exists(dir / "deleted"))
            for (const auto& entry : fs::recursive_directory_iterator(dir / "deleted"))
                if (entry.is_regular_file()) found.insert(ReadFile(entry.path()));
        return found;
    }

    std::string Pick(const std::map<std::string, std::string>& files) {
        auto it = files.begin();
        std::advance(it, std::uniform_int_distribution<size_t>(0, files.size() - 1)(random));
        return it->first;
    }

    void RandomOperation() {
        const bool driveSide = random() % 2 == 0;
        const std::string root = Root(driveSide);
        std::map<std::string, std::string> files = Side(driveSide);
        files.erase("anchor.txt"); // keeps the root from ever looking emptied
        const std::string name = kNames[random() % kNames.size()];
        const int op = static_cast<int>(random() % 4);
        if (op == 0 || files.empty()) { // create or overwrite
            const std::string content = "v" + std::to_string(++version);
            Make(root + name, content, NextTime());
            touched.insert(content);
        } else if (op == 1) { // edit
            const std::string content = "v" + std::to_string(++version);
            Make(root + Pick(files), content, NextTime());
            touched.insert(content);
        } else if (op == 2) { // delete
            fs::remove(root + Pick(files));
        } else { // rename to a name free on this side (the file keeps its time)
            const std::string from = Pick(files);
            if (files.contains(name)) return;
            fs::create_directories(fs::path(root + name).parent_path());
            fs::rename(root + from, root + name);
            touched.insert(files[from]);
        }
    }

    void CheckAfterRun(int round) {
        ASSERT_TRUE(hooked.errors.empty()) << "round " << round << ": " << hooked.errors[0].text;
        ASSERT_EQ(LastStatus(), "Finished !") << "round " << round;
        const auto onDrive = Side(true);
        const auto onPc = Side(false);
        ASSERT_EQ(onDrive, onPc) << "round " << round;
        std::set<std::string> everywhere = Stored();
        for (const auto& [name, content] : onDrive) everywhere.insert(content);
        for (const std::string& content : touched)
            ASSERT_TRUE(everywhere.contains(content)) << "round " << round << ": lost " << content;
        touched.clear();
    }

    void RunModel(unsigned seed, int rounds) {
        random.seed(seed);
        Make(drive + "Docs/anchor.txt", "anchor", Day(1));
        for (int round = 0; round < rounds; ++round) {
            const int operations = 1 + static_cast<int>(random() % 4);
            for (int i = 0; i < operations; ++i) RandomOperation();
            // Versions the user replaced or deleted before the run are not the sync's to keep.
            std::set<std::string> present;
            for (bool side : {true, false})
                for (const auto& [name, content] : Side(side)) present.insert(content);
            std::erase_if(touched, [&](const std::string& c) { return !present.contains(c); });
            clock.Advance(1.0 / 1440);
            Run(TSyncDirection::sdBidi, TSyncDefaultAction::sdaNewVersion, WithStore());
            CheckAfterRun(round);
            if (HasFatalFailure()) return;
        }
    }
};

} // namespace

TEST_F(SyncModelTest, RandomEditsOnBothSidesSeed1) { RunModel(1, 70); }
TEST_F(SyncModelTest, RandomEditsOnBothSidesSeed2) { RunModel(2, 70); }
TEST_F(SyncModelTest, RandomEditsOnBothSidesSeed3) { RunModel(3, 70); }
