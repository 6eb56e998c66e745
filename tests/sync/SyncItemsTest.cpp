// The pair lists as the launcher fills them: "<Root>", trailing separators, file pairs as given,
// and the case-insensitive order by computer-side path.
#include "core/engine/sync/TFileCollection.h"
#include "core/engine/sync/TSyncItems.h"

#include <gtest/gtest.h>

using namespace drivlet;

TEST(SyncItemsTest, FolderPairsGetSeparatorsAndRootBecomesSlash) {
    TSyncItems items;
    items.AddItem("<Root>", "/home/ann/Stick", true);
    items.AddItem("/Docs", "/home/ann/Docs/", true);
    items.AddItem("/Docs/a.txt", "/home/ann/a.txt", false);
    items.AddItem("Music", "/home/ann/Music", true);
    items.AddItem("Notes/n.txt", "/home/ann/n.txt", false);
    ASSERT_EQ(items.Count(), 5u);
    EXPECT_EQ(items[3].PathA, "/Music/");
    EXPECT_EQ(items[4].PathA, "/Notes/n.txt");
    EXPECT_EQ(items[0].PathA, "/");
    EXPECT_EQ(items[0].PathB, "/home/ann/Stick/");
    EXPECT_EQ(items[1].PathA, "/Docs/");
    EXPECT_EQ(items[1].PathB, "/home/ann/Docs/");
    EXPECT_EQ(items[2].PathA, "/Docs/a.txt");
    EXPECT_EQ(items[2].PathB, "/home/ann/a.txt");
}

TEST(SyncItemsTest, SortIgnoresCaseAndKeepsEqualPathsInOrder) {
    TSyncItems items;
    items.AddItem("/1", "/home/b", true);
    items.AddItem("/2", "/home/A", true);
    items.AddItem("/3", "/home/a", true);
    items.SortByPathB();
    EXPECT_EQ(items[0].PathA, "/2/");
    EXPECT_EQ(items[1].PathA, "/3/");
    EXPECT_EQ(items[2].PathA, "/1/");
}

TEST(SyncItemsTest, CollectionRemovesMarkedPairsKeepingOrder) {
    TFileCollection pairs;
    for (int i = 0; i < 5; ++i)
        pairs[pairs.Add()].RecordID = i;
    pairs.RemoveAt({3, 1, 3});
    ASSERT_EQ(pairs.Count(), 3u);
    EXPECT_EQ(pairs[0].RecordID, 0);
    EXPECT_EQ(pairs[1].RecordID, 2);
    EXPECT_EQ(pairs[2].RecordID, 4);
    EXPECT_EQ(pairs[0].FileAction, TFileAction::faCopyAB);
    EXPECT_FALSE(pairs[0].Ask);
    EXPECT_EQ(pairs[0].FileA.FileSize, -1);
}
