// Gathering the chosen definitions of the source account sets into the patch's data file.
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/manager.h"
#include "common/expect_error.h"
#include "maker_fixture.h"
#include "patch/inst_nodes.h"
#include "platform/file_system.h"

namespace kestrane::app {
namespace {

namespace fs = std::filesystem;
using namespace patch;
using Names = std::vector<std::string>;
using testing::Caught;

class GatherTest : public MakerFixture {
  protected:
    void SetUp() override {
        MakerFixture::SetUp();
        MakeInstallation({"SET1", "SET2", "SET3"});
        maker_ = NewMaker();
        auto& params = maker_->ParamInfo();
        ASSERT_EQ(params.Instances.size(), 3u);
        params.PatchType = ptInstance;
        params.OnProgress = [this](const void*, TKVParamNodeType type, const std::string& msg, int pos,
                                   int max) {
            reports_.push_back(std::to_string(type) + " " + msg + " " + std::to_string(pos) + "/" +
                               std::to_string(max));
        };
    }
    void Select(std::size_t i) { maker_->ParamInfo().Instances[i].Selected = true; }
    TInstResItem& ItemOf(TKVParamNodeType kind) { return *maker_->InstResItems().FindByNodeType(kind); }
    TNodeItem& Node(TKVParamNodeType kind, const std::string& tag, const std::string& text = "") {
        TInstNodeRec entry{tag, tag, text, tag, kind};
        if (kind == pntTable) return NewNodeTableItem(ItemOf(kind), entry, support::dbtMsSql);
        if (kind == pntReCst || kind == pntView || kind == pntInitScript)
            return NewNodeScriptItem(ItemOf(kind), entry, support::dbtMsSql);
        return NewNodeItem(ItemOf(kind), entry);
    }
    std::string DataFile() const { return maker_->ParamInfo().ProgramDir + "Update.mdb"; }

    // The rows of a query on the data file the patch carries, each as its values joined by "|".
    Names Rows(const std::string& sql) {
        const TResItem* item = maker_->ResItems().FindByName("Update.mdb");
        if (!item) {
            ADD_FAILURE() << "no data file item";
            return {};
        }
        const std::string copy = Dir() + "carried.mdb";
        if (!fs::exists(copy))
            platform::WriteFileReplacing(
                copy, std::vector<std::uint8_t>(item->MemStream.begin(), item->MemStream.end()));
        db::Connection c(testing::EmbeddedConnectionString(copy));
        c.Open();
        Names rows;
        auto rs = c.Execute(sql);
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            std::string row;
            for (int i = 0; i < rs->FieldCount(); ++i) row += (i ? "|" : "") + rs->Value(i).AsString();
            rows.push_back(row);
        }
        return rows;
    }

    std::unique_ptr<TManager> maker_;
    Names reports_;
};

// Positions count every listed account set and every item, chosen or not.
TEST_F(GatherTest, BillsAndQueriesOfTheSecondOfThreeAccountSets) {
    Select(1);
    Node(pntBill, "1429");
    Node(pntBill, "1592");
    Node(pntQuery, "QR_Element");
    ASSERT_TRUE(maker_->GatherAccountSetData());

    EXPECT_EQ(reports_, (Names{"2 正在将账套[账套2]的“单据”信息加载到补丁程序…… 13/30",
                               "3 正在将账套[账套2]的“查询”信息加载到补丁程序…… 14/30"}));
    EXPECT_EQ(Rows("select RwID from JC_BillFormat order by RwID"), (Names{"1429", "1592", "2000", "3000"}));
    EXPECT_EQ(Rows("select StdCode from JC_SysOptInfo order by RwID"),
              (Names{"GD_BillCfgMsg1429", "GD_BillMultiOptCfgMsg"}));
    EXPECT_EQ(Rows("select BillType from JC_DJBHGZ"), (Names{"1429"}));
    EXPECT_EQ(Rows("select count(*) from QR_Element"), (Names{"2"}));
    EXPECT_EQ(Rows("select FunName from Sys_PurFunRes order by FunID"), (Names{"录入", "审核"}));
    // The installer re-creates the tables from their recorded columns.
    EXPECT_EQ(Rows("select COLUMN_NAME from DSColumnDefine where TABLE_NAME = 'JC_DJBHGZ' order by "
                   "ORDINAL_POSITION"),
              (Names{"BillType", "RuleText"}));

    EXPECT_FALSE(fs::exists(DataFile()));
    const TResItem* data = maker_->ResItems().FindByName("Update.mdb");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->OptType, otProgram);
}

TEST_F(GatherTest, EveryKindCopiesWhatItsFilterSelects) {
    Select(0);
    // An embedded source takes the SQL Server variants.
    TNodeItem& all = Node(pntReCst, "QEL_InstElmnt", " and SvcID > 5");
    static_cast<TNodeScriptItem&>(all).Text2 = " and 1=0";
    Node(pntReCst, "BD_Customer").Caption = "客户表";
    Node(pntAnalyse, "QR_DataAnalyse");
    Node(pntBaseData, "10");
    PutText("flow.fld", "chart");
    Node(pntDeskFlow, "flow.fld", Dir() + "flow.fld");
    auto& customer = static_cast<TNodeTableItem&>(Node(pntTable, "BD_Customer", " and Region = 'N'"));
    customer.Text2 = " and 1=0";
    Node(pntTable, "bd_Archive").TableType = ttStructure;
    Node(pntView, "V_Customer", "create view V_Customer as select 1");
    Node(pntInitScript, "", "update BD_Customer set Name = ''");
    ASSERT_TRUE(maker_->GatherAccountSetData());

    EXPECT_EQ(reports_, (Names{
                            "0 正在将账套[账套1]的“初始脚本”信息加载到补丁程序…… 1/30",
                            "1 正在将账套[账套1]的“重构”信息加载到补丁程序…… 2/30",
                            "1 正在将账套[账套1]的“重构  1/2 --【客户表】”信息加载到补丁程序…… 2/30",
                            "4 正在将账套[账套1]的“多维分析”信息加载到补丁程序…… 5/30",
                            "4 正在将账套[账套1]的“QR_DataAnalyse”信息加载到补丁程序…… 5/30",
                            "5 正在将账套[账套1]的“基础数据”信息加载到补丁程序…… 6/30",
                            "6 正在将账套[账套1]的“流程图”信息加载到补丁程序…… 7/30",
                            "6 正在将流程图文件加载到补丁程序…… 7/30",
                            "7 正在将账套[账套1]的“数据表”信息加载到补丁程序…… 8/30",
                            "7 正在将账套[账套1]的“BD_Customer”信息加载到补丁程序…… 8/30",
                            "7 正在将账套[账套1]的“bd_Archive”信息加载到补丁程序…… 8/30",
                            "8 正在将账套[账套1]的“存储过程与视图”信息加载到补丁程序…… 9/30",
                        }));
    // The window had its turn before every report.
    EXPECT_EQ(ui_.ProcessEventsCount, static_cast<int>(reports_.size()));

    EXPECT_EQ(Rows("select SvcID from QEL_InstElmnt"), (Names{"7"}));
    EXPECT_EQ(Rows("select ID from BD_Customer order by ID"), (Names{"1", "3"}));
    EXPECT_EQ(Rows("select count(*) from bd_Archive"), (Names{"0"}));
    EXPECT_EQ(Rows("select COLUMN_NAME from DSColumnDefine where TABLE_NAME = 'bd_Archive' order by "
                   "ORDINAL_POSITION"),
              (Names{"ID", "Note"}));
    EXPECT_EQ(Rows("select count(*) from QR_DataAnalyse"), (Names{"1"}));
    EXPECT_EQ(Rows("select CategoryID from JC_TableDict"), (Names{"10"}));
    EXPECT_EQ(Rows("select TableID from JC_CodeJCSet"), (Names{"10"}));
    EXPECT_EQ(Rows("select StdCode from JC_SysOptInfo"), (Names{"GD_BillMultiOptCfgMsg"}));
    // Views and scripts travel in their nodes only.
    EXPECT_EQ(Rows("select count(*) from sqlite_master where type = 'view'"), (Names{"0"}));

    const TResItem* chart = maker_->ResItems().FindByName("flow.fld");
    ASSERT_NE(chart, nullptr);
    EXPECT_EQ(chart->OptType, otProgram);
    EXPECT_EQ(maker_->ResItems().Item(maker_->ResItems().Count() - 1).Name, "Update.mdb");
}

TEST_F(GatherTest, FailureDeletesTheDataFileAndAddsNothing) {
    Select(0);
    Node(pntTable, "BD_Missing");
    const auto e = Caught<std::runtime_error>([&] { maker_->GatherAccountSetData(); });
    ASSERT_TRUE(e) << "no failure";
    EXPECT_EQ(
        std::string(e->what()).rfind("SQL执行错误，详细信息如下：【select * from BD_Missing where 1=1 】", 0),
        0u)
        << e->what();
    EXPECT_FALSE(fs::exists(DataFile()));
    EXPECT_EQ(maker_->ResItems().FindByName("Update.mdb"), nullptr);
}

// The build stops with a message naming the data file and the reason it could not be made.
TEST_F(GatherTest, DataFileThatCannotBeMadeStopsTheBuildSayingWhy) {
    Select(0);
    Node(pntQuery, "QR_Element");
    auto& params = maker_->ParamInfo();
    params.ProgramDir = Sub("prog") + "/";
    fs::create_directories(params.ProgramDir + "Update.mdb/kept");
    params.PatchFileName = Sub("out") + "/Patch.exe";
    const auto e = Caught<std::runtime_error>([&] { maker_->Build(); });
    ASSERT_TRUE(e) << "no failure";
    const std::string message = e->what();
    const std::string head = "无法创建账套数据文件“" + Dir() + "prog/Update.mdb”：";
    EXPECT_EQ(message.rfind(head, 0), 0u) << message;
    EXPECT_GT(message.size(), head.size());
    EXPECT_FALSE(fs::exists(params.PatchFileName));
    EXPECT_TRUE(reports_.empty());
    EXPECT_TRUE(fs::exists(params.ProgramDir + "Update.mdb/kept"));
}

// A maker installed where it may not write (a package's bin folder) gathers into a folder of its own.
TEST_F(GatherTest, ProgramFolderWithoutWriteAccessGathersElsewhere) {
    Select(0);
    Node(pntQuery, "QR_Element");
    maker_->ParamInfo().ProgramDir = Dir() + "gone/";
    maker_->GatherAccountSetData();
    EXPECT_FALSE(Rows("select RwID from QR_Element").empty());
    EXPECT_FALSE(fs::exists(Dir() + "gone"));
}

}  // namespace
}  // namespace kestrane::app
