// The archive wrapper on its own: replacing an entry, and a failing progress handler that must
// neither cross the library nor leave a changed archive behind.
#include "core/zip/ZipReader.h"
#include "core/zip/ZipWriter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace drivlet;
using namespace drivlet::test;

namespace {

class ZipArchiveTest : public ::testing::Test {
protected:
    TempDir dir;
    const std::string root = dir.path().string() + "/";
    const std::string archive = root + "a.zip";

    void WriteArchive(const std::string& entry, const std::string& content) {
        WriteFile(root + "in.txt", content);
        ZipWriter writer;
        ASSERT_TRUE(writer.Open(archive));
        ASSERT_TRUE(writer.AddFile(root + "in.txt", entry));
        ASSERT_TRUE(writer.Close());
    }
};

TEST_F(ZipArchiveTest, AnEntryOfTheSameNameIsReplaced) {
    WriteArchive("docs/a.txt", "first");
    WriteArchive("docs/a.txt", "second, longer");
    ZipReader reader;
    ASSERT_TRUE(reader.Open(archive));
    const auto entries = reader.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "docs/a.txt");
    EXPECT_EQ(entries[0].size, 14);
    ASSERT_TRUE(reader.Extract(entries[0], root + "out.txt"));
    EXPECT_EQ(ReadFile(root + "out.txt"), "second, longer");

    ZipWriter writer;
    ASSERT_TRUE(writer.Open(archive));
    EXPECT_TRUE(writer.Contains("docs/a.txt"));
    EXPECT_FALSE(writer.Contains("docs/A.txt"));
}

TEST_F(ZipArchiveTest, AMissingSourceIsRefusedWhenAdded) {
    ZipWriter writer;
    ASSERT_TRUE(writer.Open(archive));
    const ZipStatus added = writer.AddFile(root + "nothing.txt", "nothing.txt");
    EXPECT_FALSE(added);
    EXPECT_EQ(added.code(), 11);
    EXPECT_EQ(writer.Pending(), 0u);
}

TEST_F(ZipArchiveTest, AFailingProgressHandlerIsThrownAgainAndTheArchiveStays) {
    WriteArchive("a.txt", "old");
    const std::string before = ReadFile(archive);
    WriteFile(root + "b.txt", std::string(1 << 20, 'b'));
    ZipWriter writer;
    ASSERT_TRUE(writer.Open(archive));
    ASSERT_TRUE(writer.AddFile(root + "b.txt", "b.txt"));
    EXPECT_THROW(writer.Close([](double) { throw std::runtime_error("panel gone"); }), std::runtime_error);
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_EQ(ReadFile(archive), before);
    // The library's temporary file went with the cancel.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(root)) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 3); // a.zip, in.txt, b.txt
}

} // namespace
