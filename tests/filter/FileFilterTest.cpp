// The wildcard rule and IsExcluded, the attribute test on real files.
#include "core/filter/TFileFilter.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace drivlet;
using drivlet::test::TempDir;
using drivlet::test::WriteFile;

TEST(Wildcard, RuleConsequences) {
    EXPECT_TRUE(MatchesMask("*.txt", "notes.txt"));
    EXPECT_FALSE(MatchesMask("*.txt", "my.notes.txt"));
    EXPECT_FALSE(MatchesMask("*.txt", ".txt"));
    EXPECT_TRUE(MatchesMask("*", "readme"));
    EXPECT_FALSE(MatchesMask("*", "read.me"));
    EXPECT_TRUE(MatchesMask("*.*", "a.b"));
    EXPECT_FALSE(MatchesMask("*.*", "a"));
    EXPECT_FALSE(MatchesMask("*.*", "a.b.c"));
    EXPECT_FALSE(MatchesMask("a*", "a"));
    EXPECT_TRUE(MatchesMask("t?mp.doc", "temp.doc"));
    EXPECT_FALSE(MatchesMask("t?mp.doc", "tmp.doc"));
    EXPECT_TRUE(MatchesMask("~*.doc", "~$report.doc"));
    EXPECT_FALSE(MatchesMask("?", "."));
    EXPECT_FALSE(MatchesMask("*.TXT", "notes.txt")); // case counts
    EXPECT_TRUE(MatchesMask("*a*b", "xaab"));
}

TEST(Wildcard, HostileMaskStaysFast) {
    const std::string name(200, 'a');
    EXPECT_FALSE(MatchesMask("*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b", name));
}

TEST(FileFilter, ExtensionsAndNames) {
    TFileFilter f;
    f.ExcludeFileExtList = {".TMP", "bak"};
    f.ExcludeMaskList = {"thumbs.db", "Desktop.ini", "~*.doc"};
    EXPECT_TRUE(f.IsExcluded("report.tmp", "/x")); // extensions ignore case
    EXPECT_TRUE(f.IsExcluded("REPORT.TMP", "/x"));
    EXPECT_FALSE(f.IsExcluded("report.bak", "/x"));  // an entry without its dot never matches
    EXPECT_TRUE(f.IsExcluded("Thumbs.db", "/x"));    // the name is lower-cased before comparing
    EXPECT_FALSE(f.IsExcluded("Desktop.ini", "/x")); // an entry with capitals never matches
    EXPECT_TRUE(f.IsExcluded("~$Report.DOC", "/x"));
    EXPECT_FALSE(f.IsExcluded("report.txt", "/x"));
}

TEST(FileFilter, AttributesOfRealFiles) {
    TempDir dir;
    WriteFile(dir / "Plain.txt", "x");
    WriteFile(dir / ".hidden", "x");
    WriteFile(dir / "locked.txt", "x");
    std::filesystem::permissions(dir / "locked.txt", std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    const std::string folder = dir.path().string(); // no trailing slash: it is added

    TFileFilter hidden;
    hidden.Hidden = true;
    EXPECT_TRUE(hidden.IsExcluded(".hidden", folder));
    EXPECT_FALSE(hidden.IsExcluded("Plain.txt", folder)); // found under its own letter case
    EXPECT_FALSE(hidden.IsExcluded("locked.txt", folder + "/"));
    EXPECT_TRUE(hidden.IsExcluded("missing.txt", folder)); // unreadable: every bit counts as set

    TFileFilter readOnly;
    readOnly.ReadOnly = true;
    EXPECT_TRUE(readOnly.IsExcluded("locked.txt", folder));
    EXPECT_FALSE(readOnly.IsExcluded(".hidden", folder));

    TFileFilter system;
    system.System = true;
    EXPECT_FALSE(system.IsExcluded("Plain.txt", folder)); // no system attribute off FAT

    hidden.CheckAttributes = false;
    EXPECT_FALSE(hidden.IsExcluded(".hidden", folder));

    TFileFilter copy;
    copy.Assign(readOnly);
    EXPECT_TRUE(copy.ReadOnly);
    EXPECT_TRUE(copy.CheckAttributes);
}
