#include "patch/res_base.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "patch/inst_res_items.h"
#include "patch/res_items.h"

namespace kestrane::patch {
namespace {

TEST(ResBaseTest, CreatedChildrenAreListedInOrderAndLeaveWhenDestroyed) {
    TResCollection files;
    TResItem& a = files.Create<TResItem>();
    TResItem& b = files.Create<TResItem>();
    TResItem& c = files.Create<TResItem>();
    EXPECT_EQ(a.Owner(), &files);
    ASSERT_EQ(files.Count(), 3u);
    files.Destroy(b);
    ASSERT_EQ(files.Count(), 2u);
    EXPECT_EQ(&files.Item(0), &a);
    EXPECT_EQ(&files.Item(1), &c);
    EXPECT_EQ(files.ComponentCount(), 2u);
    EXPECT_THROW(files.Item(2), std::out_of_range);
}

TEST(ResBaseTest, UnlistedClassIsOwnedButNotEnumerated) {
    TResCollection files;
    files.Create<TNodeItem>();
    EXPECT_EQ(files.Count(), 0u);
    EXPECT_EQ(files.ComponentCount(), 1u);
    EXPECT_EQ(files.ChildCount(), 0u);
}

TEST(ResBaseTest, DestroyingAForeignObjectIsRefused) {
    TResCollection a, b;
    TResItem& item = a.Create<TResItem>();
    EXPECT_THROW(b.Destroy(item), std::invalid_argument);
    EXPECT_EQ(a.Count(), 1u);
}

TEST(ResBaseTest, ClearItemsDestroysListedItemsAndDescription) {
    TResCollection files;
    files.Description = "d";
    files.Create<TResItem>();
    files.Create<TResItem>();
    files.Create<TNodeItem>();
    files.ClearItems();
    EXPECT_EQ(files.Count(), 0u);
    EXPECT_TRUE(files.Description.empty());
    EXPECT_EQ(files.ComponentCount(), 1u);
}

TEST(ResBaseTest, NodesAreListedRemovedAndCleared) {
    TInstResCollection items;
    TInstResItem& bills = items.Item(2);
    TNodeItem& n1 = bills.Create<TNodeItem>();
    TNodeScriptItem& n2 = bills.Create<TNodeScriptItem>();
    bills.Create<TNodeTableItem>();
    bills.Description = "d";
    EXPECT_EQ(bills.NodeCount(), 3u);
    EXPECT_EQ(bills.ItemsCount(), 3u);
    EXPECT_FALSE(items.AllEmpty());

    bills.RemoveNode(n2);  // stays owned, no longer listed
    EXPECT_EQ(bills.NodeCount(), 2u);
    EXPECT_EQ(bills.ComponentCount(), 3u);
    EXPECT_EQ(&bills.Node(0), &n1);

    items.ClearNodes();
    EXPECT_TRUE(bills.IsEmpty());
    EXPECT_TRUE(bills.Description.empty());
    EXPECT_EQ(bills.ComponentCount(), 1u);  // the removed node
    EXPECT_TRUE(items.AllEmpty());
}

}  // namespace
}  // namespace kestrane::patch
