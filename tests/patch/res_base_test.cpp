#include "patch/res_base.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "patch/inst_res_items.h"
#include "patch/res_items.h"

namespace kestrane::patch {
namespace {

std::vector<std::string> ItemClasses(const TInstResCollection& c) {
    std::vector<std::string> r;
    for (std::size_t i = 0; i < c.Count(); ++i) r.emplace_back(c.Item(i).ClassName());
    return r;
}

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

TEST(ResBaseTest, AccountSetCollectionStartsWithTenItemsOfTheKinds) {
    TInstResCollection items;
    EXPECT_EQ(ItemClasses(items),
              (std::vector<std::string>{"TInstInitScriptResItem", "TInstReCstResItem", "TInstBillResItem",
                                        "TInstQueryResItem", "TInstAnalyseResItem", "TInstBaseDataResItem",
                                        "TInstDeskFlowResItem", "TInstTableResItem", "TInstViewResItem",
                                        "TInstScriptResItem"}));
    const struct {
        std::size_t index;
        TKVParamNodeType type;
        const char* table;
        const char* caption;
    } kinds[] = {
        {0, pntInitScript, "JC_Script", "初始脚本表"},
        {1, pntReCst, "QEL_InstElmnt", "数据重构表"},
        {2, pntBill, "JC_BillFormat", "单据定义表"},
        {3, pntQuery, "QR_Element", "查询定义表"},
        {4, pntAnalyse, "", ""},
        {5, pntBaseData, "JC_TableDict", "基础数据定义表"},
        {6, pntDeskFlow, "JC_SysOptInfo", "系统选项表"},
        {7, pntTable, "", ""},
        {8, pntView, "", ""},
        {9, pntScript, "JC_Script", "脚本表"},
    };
    for (const auto& k : kinds) {
        EXPECT_EQ(items.Item(k.index).ParamNodeType(), k.type);
        EXPECT_EQ(items.Item(k.index).TableName(), k.table);
        EXPECT_EQ(items.Item(k.index).TableCaption(), k.caption);
    }
    EXPECT_EQ(items.FindByNodeType(pntScript), &items.Item(9));
    EXPECT_EQ(items.FindByNodeType(pntOther), nullptr);
    EXPECT_EQ(TInstResItem().ParamNodeType(), pntOther);
    EXPECT_TRUE(items.AllEmpty());

    // When several items share a kind, the last one counts.
    TInstBillResItem& second = items.Create<TInstBillResItem>();
    EXPECT_EQ(items.FindByNodeType(pntBill), &second);

    items.ClearItems();
    EXPECT_EQ(items.Count(), 0u);
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
