// The per-pair name index of the scan: names compare as the sync table compares them.
#include "core/engine/sync/RecordIndex.h"

#include <gtest/gtest.h>

#include <string>

namespace drivlet {
namespace {

TEST(RecordIndex, FoldsAsciiLettersOnlyAsTheTableDoes) {
    RecordIndex index;
    index["Reports/MAY.doc"].a = RecordIndex::Record{7, 1.5, 2.5};
    RecordIndex::Name* found = index.Find("reports/may.DOC");
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->a.id, 7);
    EXPECT_EQ(&index["REPORTS/may.doc"], found);
    EXPECT_EQ(index.Size(), 1u);
    // The table's NOCASE leaves other letters alone, so the index must too.
    index["Été.txt"].a.id = 8;
    EXPECT_EQ(index.Find("ÉTÉ.txt"), nullptr);
    EXPECT_NE(index.Find("ÉTé.TXT"), nullptr);
    EXPECT_EQ(index.Find("Reports/may.do"), nullptr);
    EXPECT_EQ(index.Find("Reports/may.docx"), nullptr);
    EXPECT_EQ(index.Find(""), nullptr);
}

TEST(RecordIndex, KeepsEveryNameThroughGrowthAndStartsEmptyAfterClear) {
    RecordIndex index;
    EXPECT_EQ(index.Find("a"), nullptr);
    const int count = 5000; // several growths of the slot table
    for (int i = 0; i < count; ++i) {
        RecordIndex::Name& name = index["Folder" + std::to_string(i % 7) + "/File" + std::to_string(i)];
        EXPECT_FALSE(name.a);
        EXPECT_EQ(name.pairA, RecordIndex::kNoPair);
        name.a.id = i + 1;
        name.pairB = static_cast<size_t>(i);
    }
    EXPECT_EQ(index.Size(), static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const RecordIndex::Name* name =
            index.Find("FOLDER" + std::to_string(i % 7) + "/file" + std::to_string(i));
        ASSERT_NE(name, nullptr) << i;
        EXPECT_EQ(name->a.id, i + 1);
        EXPECT_EQ(name->pairB, static_cast<size_t>(i));
    }
    index.Clear();
    EXPECT_EQ(index.Size(), 0u);
    EXPECT_EQ(index.Find("Folder0/File0"), nullptr);
    index["x"].b.id = 3;
    EXPECT_EQ(index.Find("X")->b.id, 3);
}

} // namespace
} // namespace drivlet
