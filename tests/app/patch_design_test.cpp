#include "app/patch_design.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/manager.h"
#include "common/expect_error.h"
#include "maker_fixture.h"

namespace kestrane::app {
namespace {

using namespace patch;
using Kind = TScriptedInteraction::Kind;
using Names = std::vector<std::string>;
using testing::FailsWith;

class PatchDesignTest : public MakerFixture {
  protected:
    void SetUp() override {
        MakerFixture::SetUp();
        MakeInstallation({"SRC01"});
        maker_ = NewMaker();
        auto& params = maker_->ParamInfo();
        ASSERT_EQ(params.Instances.size(), 1u);
        params.Instances[0].Selected = true;
        params.PatchType = ptBoth;
    }
    TInstResItem& ItemOf(TKVParamNodeType kind) { return *maker_->InstResItems().FindByNodeType(kind); }
    Names Tags(TKVParamNodeType kind) {
        Names tags;
        for (const TNodeItem* node : ItemOf(kind).NodeList()) tags.push_back(node->Tag);
        return tags;
    }
    Names LeafCaptions(TKVParamNodeType kind) const {
        Names captions;
        for (const TChosenLeaf& leaf : design_.Chosen(kind)) captions.push_back(leaf.Caption);
        return captions;
    }
    // The index of the candidate of that kind and tag.
    std::size_t Entry(TKVParamNodeType kind, const std::string& tag) const {
        for (std::size_t i : design_.Candidates(kind))
            if (design_.Catalogue[i].Tag == tag) return i;
        ADD_FAILURE() << "no candidate " << tag;
        return 0;
    }
    std::string File(const std::string& name, const std::string& content = "x") {
        Sub("files");
        PutText("files/" + name, content);
        return Dir() + "files/" + name;
    }
    Names CollectionNames() const {
        Names names;
        for (std::size_t i = 0; i < maker_->ResItems().Count(); ++i)
            names.push_back(maker_->ResItems().Item(i).Name);
        return names;
    }
    Names ListedNames() const {
        Names names;
        for (const TResItem* item : design_.lbFiles) names.push_back(item->Name);
        return names;
    }

    std::unique_ptr<TManager> maker_;
    TPatchDesignModel design_;
};

TEST_F(PatchDesignTest, OpeningFollowsThePatchTypeAndReadsTheCatalogueEachTime) {
    auto& params = maker_->ParamInfo();
    params.NeedFreeMemMB = 128;
    params.NeedFreeDiskMB = 512;
    ItemOf(pntScript).Create<TNodeScriptItem>().Caption = "已有脚本";

    params.PatchType = ptProgram;
    params.Instances[0].Selected = false;
    design_.Open(*maker_);  // no source is needed for program files
    EXPECT_TRUE(design_.tsProgramVisible);
    EXPECT_FALSE(design_.tsInstanceVisible);
    EXPECT_TRUE(design_.Catalogue.empty());
    EXPECT_EQ(design_.FreeMemMB_Edt, "128");
    EXPECT_EQ(design_.FreeDiskMB_Edt, "512");
    EXPECT_EQ(design_.RegInstallEdit, "Software\\Torlinex\\Lumo");
    EXPECT_EQ(design_.CloseFileNames_Edt, params.NeedCloseFileNames());

    params.PatchType = ptInstance;
    EXPECT_TRUE(FailsWith<std::exception>([&] { design_.Open(*maker_); }, "请选择一个用于制作补丁的账套"));

    params.Instances[0].Selected = true;
    design_.Open(*maker_);
    EXPECT_FALSE(design_.tsProgramVisible);
    EXPECT_TRUE(design_.tsInstanceVisible);
    EXPECT_FALSE(design_.ProgramTabActive);
    EXPECT_EQ(design_.Source.DBName, "SRC01");
    EXPECT_EQ(design_.SourceKind, support::dbAccess);
    EXPECT_EQ(LeafCaptions(pntScript), (Names{"已有脚本"}));
    const std::size_t before = design_.Candidates(pntTable).size();

    testing::ExecAll(SetFile("SRC01"), {"create table BD_New (ID LONG)"});
    params.PatchType = ptBoth;
    design_.Open(*maker_);
    EXPECT_TRUE(design_.tsProgramVisible && design_.tsInstanceVisible && design_.ProgramTabActive);
    EXPECT_EQ(design_.Candidates(pntTable).size(), before + 1);
    // The chosen tree is built again, not added to.
    EXPECT_EQ(LeafCaptions(pntScript), (Names{"已有脚本"}));
}

TEST_F(PatchDesignTest, FileListKeepsItsOrderAndTheCollectionsTogether) {
    auto& files = maker_->ResItems();
    files.AddFile(File("version.xml")).OptType = otVersion;
    files.AddFile(File("a.txt"));
    files.AddFile(File("Update.mdb")).OptType = otProgram;
    TResItem& bat = files.AddFile(File("b.bat"));
    bat.Param = "-x %PATH%";
    files.AddFile(File("c.txt"));
    files.Description = "修正";
    design_.Open(*maker_);

    EXPECT_EQ(ListedNames(), (Names{"a.txt", "b.bat", "c.txt"}));
    EXPECT_EQ(design_.CurrentFile, design_.lbFiles[0]);
    EXPECT_EQ(design_.edtResName, "a.txt");
    EXPECT_EQ(design_.cbExecType, otCopy);
    EXPECT_FALSE(design_.ExecControlsEnabled);
    EXPECT_EQ(design_.mPrgrmDscrpt, "修正");
    design_.lbFilesClick(1);
    EXPECT_EQ(design_.edtExecParam, "-x %PATH%");
    EXPECT_TRUE(design_.ExecControlsEnabled);

    // Up and down swap listed neighbours; the unlisted items stay where they are.
    EXPECT_EQ(design_.btnUpClick(1), 0u);
    EXPECT_EQ(ListedNames(), (Names{"b.bat", "a.txt", "c.txt"}));
    EXPECT_EQ(CollectionNames(), (Names{"version.xml", "b.bat", "Update.mdb", "a.txt", "c.txt"}));
    EXPECT_EQ(design_.btnUpClick(0), 0u);
    EXPECT_EQ(design_.btnDownClick(2), 2u);
    EXPECT_EQ(design_.btnDownClick(0), 1u);
    EXPECT_EQ(CollectionNames(), (Names{"version.xml", "a.txt", "Update.mdb", "b.bat", "c.txt"}));

    // Field changes reach the current file at once.
    design_.lbFilesClick(2);
    design_.edtPathChange("\\bin");
    design_.cbExecTypeChange(otExecute);
    design_.cbExecWaitedClick(true);
    design_.edtExecParamChange("/s");
    design_.seDelayChange(1500);
    design_.mPrgrmDscrptChange("新说明");
    const TResItem& c = *files.FindByName("c.txt");
    EXPECT_EQ(c.RelPath, "\\bin");
    EXPECT_EQ(c.OptType, otExecute);
    EXPECT_TRUE(c.Waiting);
    EXPECT_EQ(c.Param, "/s");
    EXPECT_EQ(c.DelayTime, 1500);
    EXPECT_TRUE(design_.ExecControlsEnabled);
    EXPECT_EQ(files.Description, "新说明");

    // Adding a file of a listed name replaces it at the end; the first is shown again.
    ui_.Paths = {File("A.TXT", "new")};
    EXPECT_TRUE(design_.btnAddFileClick());
    EXPECT_EQ(ui_.Texts(Kind::OpenFile), (Names{"所有文件(*.*)|*.*"}));
    EXPECT_EQ(ListedNames(), (Names{"b.bat", "c.txt", "A.TXT"}));
    EXPECT_EQ(design_.edtResName, "b.bat");

    design_.btnDeleteFileClick({0, 2});
    EXPECT_EQ(ListedNames(), (Names{"c.txt"}));
    EXPECT_EQ(CollectionNames(), (Names{"version.xml", "Update.mdb", "c.txt"}));
    design_.btnDeleteFileClick({0});
    EXPECT_EQ(design_.CurrentFile, nullptr);
    // Without a current file the fields change nothing.
    design_.edtPathChange("nowhere");
    design_.cbExecTypeChange(otNone);
    EXPECT_EQ(CollectionNames(), (Names{"version.xml", "Update.mdb"}));
    EXPECT_EQ(files.FindByName("Update.mdb")->RelPath, "");
    EXPECT_EQ(files.FindByName("Update.mdb")->OptType, otProgram);
}

TEST_F(PatchDesignTest, SelectingCandidatesMakesNodesOnceAndAsksForCategories) {
    design_.Open(*maker_);
    // A candidate: a node of its kind with the entry's fields.
    design_.btnSelectClick(TDesignTreeNode::Candidate(pntBill, Entry(pntBill, "1429")));
    ASSERT_EQ(ItemOf(pntBill).NodeCount(), 1u);
    const TNodeItem& bill = ItemOf(pntBill).Node(0);
    EXPECT_EQ(bill.Caption, "采购单");
    EXPECT_EQ(bill.Reservs, "1429");
    EXPECT_EQ(bill.ClassName(), "TNodeItem");

    // The same tag again, in another letter case, adds nothing.
    design_.btnSelectClick(TDesignTreeNode::Candidate(pntTable, Entry(pntTable, "BD_Customer")));
    ItemOf(pntTable).Node(0).Tag = "bd_customer";
    EXPECT_EQ(design_.AddCandidate(Entry(pntTable, "BD_Customer")), nullptr);
    EXPECT_EQ(ItemOf(pntTable).NodeCount(), 1u);

    // A category asks first; Cancel adds nothing, OK adds what is not there yet.
    ui_.Answers = {false, true};
    design_.btnSelectClick(TDesignTreeNode::Category(pntTable));
    EXPECT_EQ(ItemOf(pntTable).NodeCount(), 1u);
    design_.btnSelectClick(TDesignTreeNode::Category(pntTable));
    EXPECT_EQ(Tags(pntTable), (Names{"bd_customer", "bd_Archive", "JC_SysOptInfo"}));
    EXPECT_EQ(ui_.Texts(Kind::Confirm),
              (Names{"确定选择该结点下的全部数据吗？", "确定选择该结点下的全部数据吗？"}));
    const auto& table = dynamic_cast<const TNodeTableItem&>(ItemOf(pntTable).Node(1));
    EXPECT_EQ(table.TableType, ttData);

    // Restructuring: "全部" and every table, user and system; the element table itself is "全部".
    design_.btnSelectClick(TDesignTreeNode::Category(pntReCst));
    const Names reCst = Tags(pntReCst);
    ASSERT_EQ(reCst.size(), 14u);
    EXPECT_EQ(std::count(reCst.begin(), reCst.end(), "QEL_InstElmnt"), 1);
    EXPECT_EQ(reCst.front(), "QEL_InstElmnt");
    EXPECT_EQ(reCst.back(), "Sys_PurFunRes");

    // A view of an embedded source keeps its definition in the SQL Server variant.
    design_.btnSelectClick(TDesignTreeNode::Category(pntView));
    const auto& view = dynamic_cast<const TNodeScriptItem&>(ItemOf(pntView).Node(0));
    EXPECT_EQ(view.Tag, "V_Customer");
    EXPECT_EQ(view.Reservs, "VIEW");
    EXPECT_NE(view.Text.find("select ID, Name from BD_Customer"), std::string::npos);
    EXPECT_EQ(view.Text2, "");
    EXPECT_EQ(view.SQLType, support::dbtMsSql);
    EXPECT_EQ(view.SQLType2, support::dbtOracle);
    EXPECT_EQ(view.SQLExecType, seExc);

    // The root and an empty category do nothing and ask nothing.
    const std::size_t asked = ui_.Calls.size();
    design_.btnSelectClick(TDesignTreeNode::Root());
    design_.Catalogue.clear();
    design_.btnSelectClick(TDesignTreeNode::Category(pntBill));
    EXPECT_EQ(ui_.Calls.size(), asked);
}

TEST_F(PatchDesignTest, OracleSourceKeepsTheCatalogueTextInTheSecondVariant) {
    design_.Open(*maker_);
    design_.SourceKind = support::dbtOracle;
    design_.Catalogue = {{"V1", "V1", "create view V1 as select 1 from dual", "VIEW", pntView},
                         {"T1", "T1", "", "T1", pntTable}};
    const auto* view = dynamic_cast<TNodeScriptItem*>(design_.AddCandidate(0));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Text, "");
    EXPECT_EQ(view->Text2, "create view V1 as select 1 from dual");
    EXPECT_NE(dynamic_cast<TNodeTableItem*>(design_.AddCandidate(1)), nullptr);
}

TEST_F(PatchDesignTest, RemovingLeavesCategoriesAndEverything) {
    design_.Open(*maker_);
    ui_.DefaultAnswer = true;
    design_.btnSelectClick(TDesignTreeNode::Category(pntBill));
    design_.btnSelectClick(TDesignTreeNode::Category(pntBaseData));
    ItemOf(pntBill).Description = "单据说明";
    ASSERT_EQ(ItemOf(pntBill).NodeCount(), 3u);

    // A leaf's node leaves its item's list.
    TNodeItem* second = design_.Chosen(pntBill)[1].Node;
    design_.btnRemoveClick(TDesignTreeNode::Chosen(pntBill, second));
    EXPECT_EQ(Tags(pntBill), (Names{"1429", "4000"}));
    EXPECT_EQ(LeafCaptions(pntBill), (Names{"采购单", "其它单"}));

    // A category asks; Cancel keeps it, OK empties it and its description.
    ui_.Answers = {false, true};
    design_.btnRemoveClick(TDesignTreeNode::Category(pntBill));
    EXPECT_EQ(ItemOf(pntBill).NodeCount(), 2u);
    design_.btnRemoveClick(TDesignTreeNode::Category(pntBill));
    EXPECT_TRUE(ItemOf(pntBill).IsEmpty());
    EXPECT_EQ(ItemOf(pntBill).Description, "");
    EXPECT_TRUE(design_.Chosen(pntBill).empty());

    ui_.Answers = {false, true};
    design_.btnRemoveAllClick();
    EXPECT_FALSE(ItemOf(pntBaseData).IsEmpty());
    design_.btnRemoveAllClick();
    EXPECT_TRUE(maker_->InstResItems().AllEmpty());
    EXPECT_TRUE(design_.Chosen(pntBaseData).empty());
    EXPECT_EQ(ui_.Texts(Kind::Confirm).back(), "确定要移除已选的全部数据吗？");
}

// ">>" starts from nothing: the author's scripts and descriptions go, and every candidate comes once.
TEST_F(PatchDesignTest, SelectAllEmptiesFirstAndTakesEveryCandidateOnce) {
    design_.Open(*maker_);
    design_.tvSelectChange(TDesignTreeNode::Category(pntScript));
    design_.edtScriptName = "我的脚本";
    ASSERT_NE(design_.btnAddScriptClick(), nullptr);
    ItemOf(pntQuery).Description = "查询说明";
    design_.btnSelectClick(TDesignTreeNode::Candidate(pntBill, Entry(pntBill, "1429")));

    const std::size_t asked = ui_.Calls.size();
    design_.btnSelectAllClick();
    EXPECT_EQ(ui_.Calls.size(), asked);
    EXPECT_TRUE(ItemOf(pntScript).IsEmpty());
    EXPECT_EQ(ItemOf(pntQuery).Description, "");
    for (const TKVParamNodeType kind : TPatchDesignModel::AllCategories())
        EXPECT_EQ(ItemOf(kind).NodeCount(), design_.Candidates(kind).size()) << int{kind};
    EXPECT_EQ(Tags(pntBill), (Names{"1429", "1592", "4000"}));
}

TEST_F(PatchDesignTest, SearchFindsTheFirstLeafHoldingTheText) {
    design_.Open(*maker_);
    EXPECT_FALSE(design_.FindInAll("").has_value());
    // Categories in order: restructuring comes before the tables.
    EXPECT_EQ(design_.FindInAll("customer"),
              TDesignTreeNode::Candidate(pntReCst, Entry(pntReCst, "BD_Customer")));
    EXPECT_EQ(design_.FindInAll("销售"), TDesignTreeNode::Candidate(pntBill, Entry(pntBill, "1592")));
    EXPECT_FALSE(design_.FindInAll("nothing like it").has_value());

    design_.btnSelectClick(TDesignTreeNode::Candidate(pntTable, Entry(pntTable, "BD_Customer")));
    TNodeItem* node = design_.Chosen(pntTable)[0].Node;
    // A renamed node is still found by the caption of its leaf.
    node->Caption = "改名";
    EXPECT_EQ(design_.FindInSelect("CUSTOMER"), TDesignTreeNode::Chosen(pntTable, node));
    EXPECT_FALSE(design_.FindInSelect("改名").has_value());
}

TEST_F(PatchDesignTest, SelectedNodeDecidesWhatThePanelShows) {
    design_.Open(*maker_);
    ItemOf(pntBill).Description = "单据说明";
    const struct {
        TKVParamNodeType kind;
        bool scripts;
    } categories[] = {{pntInitScript, true}, {pntBill, false}, {pntScript, true}, {pntTable, false}};
    for (const auto& c : categories) {
        design_.edtScriptName = "left over";
        design_.tvSelectChange(TDesignTreeNode::Category(c.kind));
        EXPECT_TRUE(design_.DescriptionVisible);
        EXPECT_EQ(design_.ScriptGroupVisible, c.scripts);
        EXPECT_EQ(design_.PopupAttached, c.scripts);
        EXPECT_EQ(design_.Editor, deNone);
        EXPECT_EQ(design_.edtScriptName, c.scripts ? "" : "left over");
    }
    design_.tvSelectChange(TDesignTreeNode::Category(pntBill));
    EXPECT_EQ(design_.mDescription, "单据说明");
    design_.mDescriptionChange("新的单据说明");
    EXPECT_EQ(ItemOf(pntBill).Description, "新的单据说明");

    const struct {
        TKVParamNodeType kind;
        TDesignEditor editor;
    } leaves[] = {{pntInitScript, deScript}, {pntReCst, deScript},      {pntBill, deNone},
                  {pntBaseData, deNone},     {pntDeskFlow, deDeskFlow}, {pntTable, deTable},
                  {pntView, deScript},       {pntScript, deScript}};
    TNodeItem& any = ItemOf(pntQuery).Create<TNodeItem>();
    for (const auto& l : leaves) {
        design_.tvSelectChange(TDesignTreeNode::Chosen(l.kind, &any));
        EXPECT_EQ(design_.Editor, l.editor) << int{l.kind};
        EXPECT_FALSE(design_.DescriptionVisible || design_.ScriptGroupVisible || design_.PopupAttached);
    }
    // The description goes to a category only.
    design_.mDescriptionChange("not stored");
    EXPECT_EQ(ItemOf(pntBill).Description, "新的单据说明");
    design_.tvSelectChange(TDesignTreeNode::Root());
    EXPECT_EQ(design_.Editor, deNone);
    EXPECT_FALSE(design_.DescriptionVisible);
}

TEST_F(PatchDesignTest, AddedScriptsGoToTheSelectedScriptCategoryWithoutTheDuplicateTest) {
    design_.Open(*maker_);
    design_.tvSelectChange(TDesignTreeNode::Category(pntInitScript));
    EXPECT_EQ(design_.btnAddScriptClick(), nullptr);
    EXPECT_EQ(ui_.Texts(Kind::Notice), (Names{"脚本名称不能为空，请填写"}));

    design_.edtScriptName = "建表";
    TNodeItem* first = design_.btnAddScriptClick();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Caption, "建表");
    EXPECT_EQ(first->Tag, "");
    EXPECT_EQ(first->ClassName(), "TNodeScriptItem");
    EXPECT_EQ(design_.CurrentNode, TDesignTreeNode::Chosen(pntInitScript, first));
    EXPECT_EQ(design_.Editor, deScript);

    // With a leaf selected, a script goes to the scripts; the same name twice makes two nodes.
    design_.edtScriptName = "建表";
    EXPECT_NE(design_.btnAddScriptClick(), nullptr);
    design_.edtScriptName = "建表";
    EXPECT_NE(design_.btnAddScriptClick(), nullptr);
    EXPECT_EQ(ItemOf(pntInitScript).NodeCount(), 1u);
    EXPECT_EQ(LeafCaptions(pntScript), (Names{"建表", "建表"}));
    EXPECT_TRUE(TPatchDesignModel::ScriptNameEditable(pntInitScript));
    EXPECT_TRUE(TPatchDesignModel::ScriptNameEditable(pntScript));
    EXPECT_FALSE(TPatchDesignModel::ScriptNameEditable(pntReCst));
    EXPECT_FALSE(TPatchDesignModel::ScriptNameEditable(pntView));
}

TEST_F(PatchDesignTest, DeskFlowChartFileNamesTheNode) {
    design_.Open(*maker_);
    design_.btnSelectClick(TDesignTreeNode::Candidate(pntDeskFlow, Entry(pntDeskFlow, "JC_SysOptInfo")));
    TNodeItem& node = ItemOf(pntDeskFlow).Node(0);
    ui_.Answers = {false};
    EXPECT_FALSE(design_.btnOpenDeskFlowClick(node));
    EXPECT_EQ(node.Tag, "JC_SysOptInfo");
    ui_.Paths = {"/charts/main.fld"};
    EXPECT_TRUE(design_.btnOpenDeskFlowClick(node));
    EXPECT_EQ(node.Tag, "main.fld");
    EXPECT_EQ(node.Text, "/charts/main.fld");
    EXPECT_EQ(ui_.Texts(Kind::OpenFile), (Names{"流程图(*.fld)|*.fld", "流程图(*.fld)|*.fld"}));
}

TEST_F(PatchDesignTest, RunTimeFieldsAreStoredAtOnce) {
    design_.Open(*maker_);
    auto& params = maker_->ParamInfo();
    const std::string installPath = params.InstallPath;
    design_.FreeMemMB_EdtChange("256");
    design_.FreeDiskMB_EdtChange("lots");
    design_.RegInstallEditChange("Software\\Elsewhere");
    design_.CloseFileNames_EdtChange("a.exe-程序A,b.exe");
    EXPECT_EQ(params.NeedFreeMemMB, 256);
    EXPECT_EQ(params.NeedFreeDiskMB, 0);
    EXPECT_EQ(params.RegInstallPath, "Software\\Elsewhere");
    EXPECT_EQ(params.InstallPath, installPath);
    ASSERT_EQ(params.CloseFileCount(), 2u);
    EXPECT_EQ(params.CloseFileCaption(0), "程序A");
    EXPECT_EQ(design_.FreeDiskMB_Edt, "lots");
}

}  // namespace
}  // namespace kestrane::app
