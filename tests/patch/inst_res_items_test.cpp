#include "patch/inst_res_items.h"

#include <gtest/gtest.h>

#include "patch/component_stream.h"
#include "patch/inst_nodes.h"

using namespace kestrane::patch;
using kestrane::support::dbAccess;
using kestrane::support::dbtMsSql;
using kestrane::support::dbtOracle;

namespace {

void AddTags(TInstResItem& item, std::initializer_list<const char*> tags) {
    for (const char* tag : tags) item.Create<TNodeItem>().Tag = tag;
}

TEST(InstResCollection, TenKindsInRunOrder) {
    struct Case {
        const char* className;
        TKVParamNodeType type;
        const char *table, *tableCaption, *caption;
    };
    const Case cases[] = {
        {"TInstInitScriptResItem", pntInitScript, "JC_Script", "初始脚本表", "初始脚本"},
        {"TInstReCstResItem", pntReCst, "QEL_InstElmnt", "数据重构表", "重构"},
        {"TInstBillResItem", pntBill, "JC_BillFormat", "单据定义表", "单据"},
        {"TInstQueryResItem", pntQuery, "QR_Element", "查询定义表", "查询"},
        {"TInstAnalyseResItem", pntAnalyse, "", "", "多维分析"},
        {"TInstBaseDataResItem", pntBaseData, "JC_TableDict", "基础数据定义表", "基础数据"},
        {"TInstDeskFlowResItem", pntDeskFlow, "JC_SysOptInfo", "系统选项表", "流程图"},
        {"TInstTableResItem", pntTable, "", "", "数据表"},
        {"TInstViewResItem", pntView, "", "", "存储过程与视图"},
        {"TInstScriptResItem", pntScript, "JC_Script", "脚本表", "脚本"},
    };
    TInstResCollection c;
    ASSERT_EQ(c.Count(), std::size(cases));
    for (std::size_t i = 0; i < c.Count(); ++i) {
        const TInstResItem& item = c.Item(i);
        EXPECT_EQ(item.ClassName(), cases[i].className);
        EXPECT_EQ(item.ParamNodeType(), cases[i].type);
        EXPECT_EQ(item.TableName(), cases[i].table);
        EXPECT_EQ(item.TableCaption(), cases[i].tableCaption);
        EXPECT_EQ(ParamNodeTypeCaption(item.ParamNodeType()), cases[i].caption);
        EXPECT_EQ(c.FindByNodeType(cases[i].type), &item);
    }
    EXPECT_EQ(ParamNodeTypeCaption(pntOther), "其他");
    EXPECT_EQ(TInstResItem().ParamNodeType(), pntOther);
    EXPECT_EQ(c.FindByNodeType(pntOther), nullptr);
    EXPECT_TRUE(c.AllEmpty());
}

TEST(InstResCollection, FindGivesTheLastMatchAndClearing) {
    TInstResCollection c;
    TInstBillResItem& second = c.Create<TInstBillResItem>();
    EXPECT_EQ(c.FindByNodeType(pntBill), &second);

    TInstResItem& table = *c.FindByNodeType(pntTable);
    table.Description = "补丁描述";
    NewNodeTableItem(table, {"T", "Tab", "", "", pntTable}, dbtMsSql);
    EXPECT_FALSE(c.AllEmpty());
    c.ClearNodes();
    EXPECT_TRUE(c.AllEmpty());
    EXPECT_EQ(table.Description, "");
    EXPECT_EQ(c.Count(), 11u);
    c.ClearItems();
    EXPECT_EQ(c.Count(), 0u);
    EXPECT_EQ(c.FindByNodeType(pntBill), nullptr);
}

TEST(InstFilters, Vectors) {
    TInstBillResItem bills, oneBill, noBill;
    TInstBaseDataResItem bases, noBase;
    TInstQueryResItem query;
    AddTags(bills, {"1429", "1592"});
    AddTags(oneBill, {"7"});
    AddTags(bases, {"12", "30"});
    AddTags(query, {"QR_Element"});
    struct Case {
        std::string got, want;
    };
    const Case cases[] = {
        {bills.BuildFilter(),
         " and (RwID in (1429,1592) or BillType in (4,5) and ModelID in (1429,1592) or BillType = 2 and "
         "ParentRwID in (1429,1592)) "},
        {bills.BillTypeFilter(), " and BillType in (1429,1592) "},
        {bills.BillOptionFilter(), " and StdCode in ('GD_BillCfgMsg1429','GD_BillCfgMsg1592') "},
        {oneBill.BuildFilter(),
         " and (RwID in (7) or BillType in (4,5) and ModelID in (7) or BillType = 2 and ParentRwID in (7)) "},
        {oneBill.BillOptionFilter(), " and StdCode in ('GD_BillCfgMsg7') "},
        {noBill.BuildFilter(), ""},
        {noBill.BillTypeFilter(), ""},
        {noBill.BillOptionFilter(), ""},
        {bases.BuildFilter(), " and CategoryID in (12,30) "},
        {bases.CodeSetFilter(), " and TableID in (12,30) "},
        {noBase.BuildFilter(), ""},
        {noBase.CodeSetFilter(), ""},
        {query.BuildFilter(), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
    const TInstResItem& asBase = bills;  // the override is reached through the base
    EXPECT_EQ(asBase.BuildFilter(), bills.BuildFilter());
}

TEST(InstFilters, ReCstByDatabaseKind) {
    TInstReCstResItem empty;
    TInstReCstResItem scripted;
    NewNodeScriptItem(scripted, {"全部", "QEL_InstElmnt", " and SvcID > 0", "", pntReCst}, dbtMsSql);
    static_cast<TNodeScriptItem&>(scripted.Node(0)).Text2 = " and SvcID > 1";
    NewNodeScriptItem(scripted, {"t", "Other", " and never", "", pntReCst}, dbtMsSql);
    TInstReCstResItem plain;
    plain.Create<TNodeItem>().Text = " and plain";
    struct Case {
        const TInstReCstResItem& item;
        kestrane::support::TKVDataBaseType kind;
        std::string want;
    };
    const Case cases[] = {
        {empty, dbtMsSql, " and SvcID <> -268304361 "},
        {scripted, dbtMsSql, " and SvcID <> -268304361  and SvcID > 0"},
        {scripted, dbtOracle, " and SvcID <> -268304361  and SvcID > 1"},
        {scripted, dbAccess, " and SvcID <> -268304361 "},
        {plain, dbtMsSql, " and SvcID <> -268304361  and plain"},
        {plain, dbtOracle, " and SvcID <> -268304361 "},
    };
    for (const auto& c : cases) EXPECT_EQ(c.item.ReCstFilter(c.kind), c.want) << int(c.kind);
}

TEST(InstNodes, CreationFollowsTheSourceKind) {
    const TInstNodeRec entry{"建表", "Tab1", "create table x", "VIEW", pntView};
    TInstViewResItem views;
    TNodeScriptItem& fromOracle = NewNodeScriptItem(views, entry, dbtOracle);
    TNodeScriptItem& fromSqlServer = NewNodeScriptItem(views, entry, dbtMsSql);
    ASSERT_EQ(views.NodeCount(), 2u);
    EXPECT_EQ(&views.Node(0), &fromOracle);
    EXPECT_EQ(fromOracle.Text, "");
    EXPECT_EQ(fromOracle.Text2, "create table x");
    EXPECT_EQ(fromSqlServer.Text, "create table x");
    EXPECT_EQ(fromSqlServer.Text2, "");
    for (const TNodeScriptItem* n : {&fromOracle, &fromSqlServer}) {
        EXPECT_EQ(n->Caption, "建表");
        EXPECT_EQ(n->Tag, "Tab1");
        EXPECT_EQ(n->Reservs, "VIEW");
        EXPECT_EQ(n->ParamNodeType, pntView);
        EXPECT_EQ(n->SQLType, dbtMsSql);
        EXPECT_EQ(n->SQLType2, dbtOracle);
        EXPECT_EQ(n->SQLExecType, seExc);
    }

    TInstTableResItem tables;
    TNodeTableItem& table = NewNodeTableItem(tables, {"表", "T", "a = 1", "", pntTable}, dbAccess);
    EXPECT_EQ(table.Text, "");
    EXPECT_EQ(table.Text2, "a = 1");
    EXPECT_EQ(table.TableType, ttData);
    EXPECT_EQ(table.SQLType, dbtMsSql);
    EXPECT_EQ(table.SQLType2, dbtOracle);

    TInstBillResItem bills;
    TNodeItem& bill = NewNodeItem(bills, {"资产购买登记单", "1429", "filter", "1429", 200});
    EXPECT_EQ(bill.Text, "filter");
    EXPECT_EQ(bill.Reservs, "1429");
    EXPECT_EQ(bill.ParamNodeType, pntOther);  // out of range: kept inside the enumeration
    EXPECT_EQ(NodeTypeOf(pntBill), pntBill);
}

TEST(InstNodes, RemovedNodeIsNotWrittenButStaysOwned) {
    RegisterStreamClasses();
    TInstBillResItem item;
    item.Description = "单据补丁";
    NewNodeItem(item, {"甲", "1", "", "", pntBill});
    TNodeItem& doomed = NewNodeItem(item, {"乙", "2", "", "", pntBill});
    NewNodeItem(item, {"丙", "3", "", "", pntBill});
    item.RemoveNode(doomed);
    EXPECT_EQ(item.NodeCount(), 2u);
    EXPECT_EQ(item.ComponentCount(), 3u);
    EXPECT_EQ(item.BillTypeFilter(), " and BillType in (1,3) ");

    TInstBillResItem expected;
    expected.Description = "单据补丁";
    NewNodeItem(expected, {"甲", "1", "", "", pntBill});
    NewNodeItem(expected, {"丙", "3", "", "", pntBill});
    const auto bytes = WriteObjectStream(item);
    EXPECT_EQ(bytes, WriteObjectStream(expected));

    TInstBillResItem loaded;
    ReadObjectStream(bytes, loaded);
    ASSERT_EQ(loaded.NodeCount(), 2u);
    EXPECT_EQ(loaded.Node(1).Caption, "丙");
    EXPECT_EQ(WriteObjectStream(loaded), bytes);
}

TEST(Captions, OfEveryEnumeration) {
    struct Case {
        std::string got, want;
    };
    const Case cases[] = {
        {OperateTypeCaption(otNone), "不做任何操作"},
        {OperateTypeCaption(otCopy), "复制到目标目录"},
        {OperateTypeCaption(otExecute), "直接执行"},
        {OperateTypeCaption(otProgram), "系统应用"},
        {OperateTypeCaption(otVersion), "版本号"},
        {OperateTypeCaption(static_cast<TKVOperateType>(5)), ""},
        {TableTypeCaption(ttData), "结构与数据"},
        {TableTypeCaption(ttStructure), "仅结构"},
        {SQLExecTypeCaption(seCheck), "检查"},
        {SQLExecTypeCaption(seExc), "更新"},
        {ParamNodeTypeCaption(static_cast<TKVParamNodeType>(11)), ""},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

}  // namespace
