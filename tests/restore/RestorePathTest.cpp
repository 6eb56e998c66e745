// The text rules of the way back: restore places, zip extraction bases and entry names that
// must stay below their folder.
#include "core/engine/restore/RestorePath.h"

#include <gtest/gtest.h>

using namespace drivlet;

namespace {

const std::string kRoot = "/media/STICK/Bak/";

TEST(RestorePathTest, APosixBackupGoesBackBelowSlashOrTheTarget) {
    EXPECT_EQ(RestorePathFor(kRoot, kRoot + "home/a/Docs/", ""), "/home/a/Docs/");
    EXPECT_EQ(RestorePathFor(kRoot, kRoot + "home/a/Docs/x.txt", ""), "/home/a/Docs/x.txt");
    EXPECT_EQ(RestorePathFor(kRoot, kRoot + "home/a/Docs/x.txt", "/old"), "/old/home/a/Docs/x.txt");
    EXPECT_EQ(RestorePathFor(kRoot, kRoot + "home/a/Docs/x.txt", "/old/"), "/old/home/a/Docs/x.txt");
    // A POSIX folder whose name begins with "__" is no share.
    EXPECT_EQ(RestorePathFor(kRoot, kRoot + "__cache/x", ""), "/__cache/x");
}

TEST(RestorePathTest, DriveAndShareFormsKeepTheirTextRules) {
    EXPECT_EQ(RestorePathFor(kRoot, kRoot + "C\\Docs\\a.txt", ""), "C:\\Docs\\a.txt");
    EXPECT_EQ(RestorePathFor(kRoot, kRoot + "C\\Docs\\a.txt", "/old/"), "/old/C\\Docs\\a.txt");
    EXPECT_EQ(RestorePathFor(kRoot, kRoot + "__srv\\share\\a.txt", ""), "\\\\srv\\share\\a.txt");
    // Only the leading pair stood for the share's "\\".
    EXPECT_EQ(RestorePathFor(kRoot, kRoot + "__srv\\share\\my__notes\\a.txt", ""),
              "\\\\srv\\share\\my__notes\\a.txt");
}

TEST(RestorePathTest, APathOutsideTheBackupHasNoPlace) {
    EXPECT_EQ(RestorePathFor(kRoot, "/media/STICK/Other/home/x", ""), "");
    EXPECT_EQ(RestorePathFor(kRoot, "/media", "/old/"), "");
}

TEST(RestorePathTest, ZipArchivesAreExtractedWhereTheFolderRestoreWouldPutTheirFiles) {
    EXPECT_EQ(ZipExtractionBase("Root.Zip", ""), "/");
    EXPECT_EQ(ZipExtractionBase("root.zip", "/old"), "/old/");
    EXPECT_EQ(ZipExtractionBase("C.Zip", ""), "C:\\");
    EXPECT_EQ(ZipExtractionBase("C.Zip", "/old/"), "/old/C/");
    EXPECT_EQ(ZipExtractionBase("__srv~share.Zip", ""), "\\\\srv\\share\\");
    EXPECT_EQ(ZipExtractionBase("__srv~share.Zip", "/old/"), "/old/__srv\\share\\");
    EXPECT_EQ(ZipExtractionBase("Photos.Zip", ""), "");
    EXPECT_EQ(ZipExtractionBase("notes.txt", ""), "");
    EXPECT_TRUE(IsWritablePlace(ZipExtractionBase("Root.Zip", "")));
    EXPECT_FALSE(IsWritablePlace(ZipExtractionBase("C.Zip", "")));
}

TEST(RestorePathTest, OnlyNamesThatStayBelowTheirFolderAreSafe) {
    EXPECT_TRUE(IsSafeRelativeName("a.txt"));
    EXPECT_TRUE(IsSafeRelativeName("home/a/Docs/x.txt"));
    EXPECT_TRUE(IsSafeRelativeName("home/a/Docs/"));
    EXPECT_TRUE(IsSafeRelativeName("home/..hidden/x"));
    EXPECT_FALSE(IsSafeRelativeName(""));
    EXPECT_FALSE(IsSafeRelativeName("/etc/passwd"));
    EXPECT_FALSE(IsSafeRelativeName("../x"));
    EXPECT_FALSE(IsSafeRelativeName("a/../../y"));
    EXPECT_FALSE(IsSafeRelativeName("a/.."));
    EXPECT_FALSE(IsSafeRelativeName("./a"));
    EXPECT_FALSE(IsSafeRelativeName("a//b"));
}

} // namespace
