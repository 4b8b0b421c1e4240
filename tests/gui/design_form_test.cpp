// The content designer in the window, over an embedded source account set made in the test: its tabs
// and trees, the moves between the trees reflected in both trees and in the patch's items, the search
// fields, the description and script groups, the editor frames, the file list and the run-time tab.
#include <QApplication>
#include <filesystem>
#include <fstream>

#include "../app/source_account_set.h"
#include "app/manager.h"
#include "gui/patch_design_form.h"
#include "installation.h"
#include "patch/param_info.h"
#include "widget_driver.h"
#include "wizard_fixture.h"

namespace kestrane::gui::testing {
namespace {

namespace fs = std::filesystem;
using Kind = app::TScriptedInteraction::Kind;

class DesignFormTest : public WizardTest {
  protected:
    void SetUp() override {
        WizardTest::SetUp();
        install_ = MakeInstallation(dir_, {{"DEMO01", "演示一"}, {"DEMO02", "演示二"}});
        manager_ = std::make_unique<app::TManager>(user_, MakeMaker());
        ASSERT_EQ(Params().Instances.size(), 2u);
        Params().Instances[1].Selected = true;
        Params().PatchType = patch::ptBoth;
        form_ = std::make_unique<TPatchDesignForm>(model_);
    }
    void TearDown() override {
        form_.reset();
        manager_.reset();
        WizardTest::TearDown();
    }
    patch::TBaseParamInfo& Params() { return manager_->ParamInfo(); }
    patch::TInstResItem& Item(patch::TKVParamNodeType kind) {
        return *manager_->InstResItems().FindByNodeType(kind);
    }
    Texts Tags(patch::TKVParamNodeType kind) {
        Texts tags;
        for (const patch::TNodeItem* node : Item(kind).NodeList()) tags.push_back(node->Tag);
        return tags;
    }
    void Open() {
        form_->Open(*manager_);
        form_->show();
        QApplication::processEvents();
    }
    void OpenOnTab(QWidget* tab) {
        Open();
        form_->pcDesign->setCurrentWidget(tab);
        QApplication::processEvents();
    }
    QTreeWidgetItem* All(const Texts& path) { return At(form_->tvAll, path); }
    QTreeWidgetItem* Chosen(const Texts& path) { return At(form_->tvSelect, path); }
    // A file of the test folder with the given content.
    std::string File(const std::string& name, const std::string& content = "x") {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }

    Installation install_;
    std::unique_ptr<app::TManager> manager_;
    app::TPatchDesignModel model_;
    std::unique_ptr<TPatchDesignForm> form_;
};

TEST_F(DesignFormTest, TabsFollowThePatchTypeAndTheTreesTheCatalogue) {
    struct Case {
        patch::TKVPatchType type;
        bool program, instance;
    };
    for (const Case& c : {Case{patch::ptProgram, true, false}, Case{patch::ptInstance, false, true},
                          Case{patch::ptBoth, true, true}}) {
        Params().PatchType = c.type;
        Open();
        const QTabWidget* tabs = form_->pcDesign;
        EXPECT_EQ(tabs->isTabVisible(tabs->indexOf(form_->tsProgram)), c.program) << int(c.type);
        EXPECT_EQ(tabs->isTabVisible(tabs->indexOf(form_->tsInstance)), c.instance) << int(c.type);
        EXPECT_TRUE(tabs->isTabVisible(tabs->indexOf(form_->tsConfig)));
        EXPECT_EQ(tabs->currentWidget(), c.program ? form_->tsProgram : form_->tsInstance) << int(c.type);
    }
    EXPECT_EQ(form_->windowTitle().toStdString(), "补丁内容设置");
    EXPECT_TRUE(form_->isModal());
    const QTabWidget* tabs = form_->pcDesign;
    EXPECT_EQ((Texts{tabs->tabText(0).toStdString(), tabs->tabText(1).toStdString(),
                     tabs->tabText(2).toStdString()}),
              (Texts{"程序补丁", "账套补丁", "配置信息"}));
    EXPECT_EQ(form_->btnOk->text().toStdString(), "确定(&O)");
    EXPECT_EQ(form_->gbAll->title().toStdString(), "待选参数列表");
    EXPECT_EQ(form_->gbSelect->title().toStdString(), "已选参数列表");
    EXPECT_EQ((Texts{form_->btnSelect->text().toStdString(), form_->btnSelectAll->text().toStdString(),
                     form_->btnRemoveAll->text().toStdString(), form_->btnRemove->text().toStdString()}),
              (Texts{">", ">>", "<<", "<"}));
    for (QGroupBox* group : {form_->gbAll, form_->gbSelect}) {
        Texts labels;
        for (const QLabel* label : group->findChildren<QLabel*>())
            labels.push_back(label->text().toStdString());
        EXPECT_EQ(labels, Texts{"定位"});
    }

    EXPECT_EQ(Text(form_->tvAll->topLevelItem(0)), "待选参数");
    EXPECT_EQ(Children(form_->tvAll->topLevelItem(0)),
              (Texts{"重构", "单据", "查询", "多维分析", "基础数据", "流程图", "数据表", "存储过程与视图"}));
    EXPECT_EQ(Text(form_->tvSelect->topLevelItem(0)), "已选参数");
    EXPECT_EQ(Children(form_->tvSelect->topLevelItem(0)),
              (Texts{"初始脚本", "重构", "单据", "查询", "多维分析", "基础数据", "流程图", "数据表",
                     "存储过程与视图", "脚本"}));
    // The source's catalogue: the fixed entries first, tables in name order without letter case, the
    // tables as restructuring entries too, then the system tables.
    EXPECT_EQ(Children(All({"单据"})), (Texts{"采购单", "销售单", "其它单"}));
    EXPECT_EQ(Children(All({"基础数据"})), (Texts{"部门", "职员"}));
    EXPECT_EQ(Children(All({"多维分析"})), (Texts{"多维立方体", "执行任务方案", "立方体-任务映射关系"}));
    EXPECT_EQ(Children(All({"流程图"})), Texts{"默认流程图"});
    EXPECT_EQ(Children(All({"数据表"})), (Texts{"bd_Archive", "BD_Customer", "JC_SysOptInfo"}));
    EXPECT_EQ(Children(All({"存储过程与视图"})), Texts{"V_Customer"});
    const Texts reCst = Children(All({"重构"}));
    ASSERT_GE(reCst.size(), 5u);
    EXPECT_EQ((Texts{reCst.begin(), reCst.begin() + 5}),
              (Texts{"全部", "bd_Archive", "BD_Customer", "JC_SysOptInfo", "JC_BillFormat"}));
    for (const Texts& category : {Texts{"单据"}, Texts{"数据表"}})
        EXPECT_TRUE(Children(Chosen(category)).empty());
}

TEST_F(DesignFormTest, MovesBetweenTheTreesReachThePatchItems) {
    OpenOnTab(form_->tsInstance);
    // ">" on a candidate, twice: the second finds its tag chosen already.
    Click(form_->tvAll, All({"单据", "销售单"}));
    QTest::mouseClick(form_->btnSelect, Qt::LeftButton);
    QTest::mouseClick(form_->btnSelect, Qt::LeftButton);
    Click(form_->tvAll, All({"单据", "采购单"}), true);
    EXPECT_EQ(Children(Chosen({"单据"})), (Texts{"销售单", "采购单"}));
    EXPECT_EQ(Tags(patch::pntBill), (Texts{"1592", "1429"}));

    // A category asks first; Cancel adds nothing, OK adds every candidate not chosen yet.
    Click(form_->tvAll, All({"数据表"}));
    user_.Answers = {false, true};
    QTest::mouseClick(form_->btnSelect, Qt::LeftButton);
    EXPECT_TRUE(Children(Chosen({"数据表"})).empty());
    Click(form_->tvAll, All({"单据"}));
    QTest::mouseClick(form_->btnSelect, Qt::LeftButton);
    EXPECT_EQ(user_.Texts(Kind::Confirm),
              (Texts{"确定选择该结点下的全部数据吗？", "确定选择该结点下的全部数据吗？"}));
    EXPECT_EQ(Children(Chosen({"单据"})), (Texts{"销售单", "采购单", "其它单"}));
    EXPECT_EQ(Tags(patch::pntBill), (Texts{"1592", "1429", "4000"}));
    // The root moves nothing.
    user_.Calls.clear();
    Click(form_->tvAll, form_->tvAll->topLevelItem(0));
    QTest::mouseClick(form_->btnSelect, Qt::LeftButton);
    EXPECT_TRUE(user_.Calls.empty());

    // "<" on a leaf and a double click take single nodes back.
    Click(form_->tvSelect, Chosen({"单据", "采购单"}));
    QTest::mouseClick(form_->btnRemove, Qt::LeftButton);
    Click(form_->tvSelect, Chosen({"单据", "其它单"}), true);
    EXPECT_EQ(Children(Chosen({"单据"})), Texts{"销售单"});
    EXPECT_EQ(Tags(patch::pntBill), Texts{"1592"});

    // ">>" empties every item and takes each candidate once.
    Item(patch::pntBill).Description = "旧说明";
    QTest::mouseClick(form_->btnSelectAll, Qt::LeftButton);
    EXPECT_EQ(Children(Chosen({"单据"})), (Texts{"采购单", "销售单", "其它单"}));
    EXPECT_EQ(Children(Chosen({"数据表"})), Children(All({"数据表"})));
    EXPECT_EQ(Children(Chosen({"重构"})), Children(All({"重构"})));
    EXPECT_EQ(Item(patch::pntBill).Description, "");
    EXPECT_EQ(Tags(patch::pntTable), (Texts{"bd_Archive", "BD_Customer", "JC_SysOptInfo"}));

    // "<" on a category asks, then empties that item; "<<" asks, then empties all.
    user_.Calls.clear();
    user_.Answers = {true, false, true};
    Click(form_->tvSelect, Chosen({"数据表"}));
    QTest::mouseClick(form_->btnRemove, Qt::LeftButton);
    EXPECT_TRUE(Children(Chosen({"数据表"})).empty());
    EXPECT_TRUE(Item(patch::pntTable).IsEmpty());
    EXPECT_FALSE(Item(patch::pntBill).IsEmpty());
    QTest::mouseClick(form_->btnRemoveAll, Qt::LeftButton);
    EXPECT_FALSE(Item(patch::pntBill).IsEmpty());
    QTest::mouseClick(form_->btnRemoveAll, Qt::LeftButton);
    EXPECT_EQ(user_.Texts(Kind::Confirm),
              (Texts{"确定移除该结点下的全部数据吗？", "确定要移除已选的全部数据吗？",
                     "确定要移除已选的全部数据吗？"}));
    EXPECT_TRUE(manager_->InstResItems().AllEmpty());
    for (const QTreeWidgetItem* category = Chosen({"初始脚本"}); category;
         category = form_->tvSelect->itemBelow(category))
        EXPECT_EQ(category->childCount(), 0) << Text(category);
}

TEST_F(DesignFormTest, EnterInASearchFieldSelectsTheFirstMatch) {
    OpenOnTab(form_->tsInstance);
    form_->edtQueryAll->setFocus();
    Type(form_->edtQueryAll, "cust");
    QTest::keyClick(form_->edtQueryAll, Qt::Key_Return);
    // Categories in order: the restructuring entry comes before the table.
    EXPECT_EQ(form_->tvAll->currentItem(), All({"重构", "BD_Customer"}));
    EXPECT_TRUE(form_->tvAll->hasFocus());
    EXPECT_TRUE(form_->isVisible());

    Click(form_->tvAll, All({"数据表", "BD_Customer"}));
    QTest::mouseClick(form_->btnSelect, Qt::LeftButton);
    Click(form_->tvAll, All({"单据", "销售单"}));
    QTest::mouseClick(form_->btnSelect, Qt::LeftButton);
    form_->edtQuerySelect->setFocus();
    Type(form_->edtQuerySelect, "销售");
    QTest::keyClick(form_->edtQuerySelect, Qt::Key_Enter);
    EXPECT_EQ(form_->tvSelect->currentItem(), Chosen({"单据", "销售单"}));
    EXPECT_TRUE(form_->tvSelect->hasFocus());
    // No match, or nothing typed: the selection stays.
    Type(form_->edtQuerySelect, "没有");
    QTest::keyClick(form_->edtQuerySelect, Qt::Key_Return);
    EXPECT_EQ(form_->tvSelect->currentItem(), Chosen({"单据", "销售单"}));
    EXPECT_TRUE(form_->isVisible());
}

TEST_F(DesignFormTest, CategoryShowsItsDescriptionAndTheScriptGroup) {
    OpenOnTab(form_->tsInstance);
    auto panel = [&] {
        std::string shown;
        for (QWidget* w :
             std::initializer_list<QWidget*>{form_->gbDescription, form_->gbScript, form_->DeskFlowFrm,
                                             form_->ScriptFrm, form_->TableFrm})
            shown += w->isVisible() ? 'x' : '-';
        return shown + (form_->tvSelect->contextMenuPolicy() == Qt::CustomContextMenu ? "m" : "");
    };
    EXPECT_EQ(panel(), "-----");
    Click(form_->tvSelect, Chosen({"单据"}));
    EXPECT_EQ(panel(), "x----");
    EXPECT_EQ(form_->gbDescription->title().toStdString(), "补丁描述");
    form_->mDescription->setPlainText("第一行\n第二行");
    EXPECT_EQ(Item(patch::pntBill).Description, "第一行\r\n第二行");
    Click(form_->tvSelect, Chosen({"查询"}));
    EXPECT_EQ(form_->mDescription->toPlainText().toStdString(), "");
    Click(form_->tvSelect, Chosen({"单据"}));
    EXPECT_EQ(form_->mDescription->toPlainText().toStdString(), "第一行\n第二行");

    // The script categories add the script group and the pop-up menu.
    Click(form_->tvSelect, Chosen({"脚本"}));
    EXPECT_EQ(panel(), "xx---m");
    EXPECT_EQ(form_->gbScript->title().toStdString(), "脚本设置");
    EXPECT_EQ(form_->btnAddScript->text().toStdString(), "增加脚本(&A)");
    EXPECT_EQ(form_->miAddScript->text().toStdString(), "增加脚本");
    QTest::mouseClick(form_->btnAddScript, Qt::LeftButton);
    EXPECT_EQ(user_.Texts(Kind::Notice), Texts{"脚本名称不能为空，请填写"});
    Type(form_->edtScriptName, "补全编码");
    QTest::mouseClick(form_->btnAddScript, Qt::LeftButton);
    EXPECT_EQ(Children(Chosen({"脚本"})), Texts{"补全编码"});
    EXPECT_EQ(form_->tvSelect->currentItem(), Chosen({"脚本", "补全编码"}));
    EXPECT_EQ(panel(), "---x-");

    Click(form_->tvSelect, Chosen({"初始脚本"}));
    EXPECT_EQ(panel(), "xx---m");
    EXPECT_EQ(form_->edtScriptName->text().toStdString(), "");
    Type(form_->edtScriptName, "建表");
    form_->miAddScript->trigger();
    EXPECT_EQ(Children(Chosen({"初始脚本"})), Texts{"建表"});
    ASSERT_EQ(Item(patch::pntInitScript).NodeCount(), 1u);
    EXPECT_EQ(Item(patch::pntInitScript).Node(0).Caption, "建表");
    Click(form_->tvSelect, Chosen({"单据"}));
    EXPECT_EQ(panel(), "x----");
}

TEST_F(DesignFormTest, EditorFramesStoreIntoTheirNodes) {
    OpenOnTab(form_->tsInstance);
    for (const Texts& path : {Texts{"数据表", "BD_Customer"}, Texts{"存储过程与视图", "V_Customer"},
                              Texts{"流程图", "默认流程图"}, Texts{"单据", "采购单"}}) {
        Click(form_->tvAll, All(path));
        QTest::mouseClick(form_->btnSelect, Qt::LeftButton);
    }
    Click(form_->tvSelect, Chosen({"脚本"}));
    Type(form_->edtScriptName, "脚本一");
    QTest::mouseClick(form_->btnAddScript, Qt::LeftButton);

    // A table: structure only or with rows, and each database kind's texts.
    Click(form_->tvSelect, Chosen({"数据表", "BD_Customer"}));
    TTableFrm* table = form_->TableFrm;
    ASSERT_TRUE(table->isVisible());
    EXPECT_FALSE(form_->ScriptFrm->isVisible());
    EXPECT_EQ(table->edtName->text().toStdString(), "BD_Customer");
    EXPECT_TRUE(table->edtName->isReadOnly());
    EXPECT_EQ(table->rgTableType->findChildren<QRadioButton*>().size(), 2);
    EXPECT_EQ(table->rbData->text().toStdString(), "结构与数据");
    EXPECT_EQ(table->rbStructure->text().toStdString(), "仅结构");
    EXPECT_TRUE(table->rbData->isChecked());
    EXPECT_EQ(table->pcTable->tabText(0).toStdString(), "Ms SQL");
    EXPECT_EQ(table->pcTable->tabText(1).toStdString(), "Oracle");
    Texts memoLabels;
    for (const QLabel* label : table->pcTable->widget(0)->findChildren<QLabel*>())
        memoLabels.push_back(label->text().toStdString());
    EXPECT_EQ(memoLabels, (Texts{"数据过滤条件", "入库前执行脚本", "入库后执行脚本"}));
    QTest::mouseClick(table->rbStructure, Qt::LeftButton, {}, QPoint(6, table->rbStructure->height() / 2));
    table->mFilter->setPlainText(" and ID > 1 ");
    table->mBeforeSQL->setPlainText("delete from BD_Customer");
    table->mAfterSQL->setPlainText("update BD_Customer\nset Region = 'N'");
    table->mFilter2->setPlainText(" and ID > 2 ");
    table->mBeforeSQL2->setPlainText("b2");
    table->mAfterSQL2->setPlainText("a2");
    const auto& tableNode = static_cast<const patch::TNodeTableItem&>(Item(patch::pntTable).Node(0));
    EXPECT_EQ(tableNode.TableType, patch::ttStructure);
    EXPECT_EQ(tableNode.Text, " and ID > 1 ");
    EXPECT_EQ(tableNode.BeforeSQL, "delete from BD_Customer");
    EXPECT_EQ(tableNode.AfterSQL, "update BD_Customer\r\nset Region = 'N'");
    EXPECT_EQ((Texts{tableNode.Text2, tableNode.BeforeSQL2, tableNode.AfterSQL2}),
              (Texts{" and ID > 2 ", "b2", "a2"}));

    // A view from the embedded source keeps its definition in the first variant; its name stays.
    Click(form_->tvSelect, Chosen({"存储过程与视图", "V_Customer"}));
    TScriptFrm* script = form_->ScriptFrm;
    ASSERT_TRUE(script->isVisible());
    EXPECT_FALSE(table->isVisible());
    EXPECT_TRUE(script->edtName->isReadOnly());
    EXPECT_EQ(script->mMsSQL->toPlainText().toStdString(), Item(patch::pntView).Node(0).Text);
    EXPECT_NE(script->mMsSQL->toPlainText().indexOf("V_Customer as select"), -1);
    EXPECT_EQ(script->mOracle->toPlainText().toStdString(), "");
    EXPECT_EQ(script->pcScript->currentIndex(), 0);
    EXPECT_EQ(script->pcScript->tabText(0).toStdString(), "Ms SQL");
    EXPECT_EQ(script->pcScript->tabText(1).toStdString(), "Oracle");
    EXPECT_EQ(script->cbDropBeforeCreate->text().toStdString(), "先删除后创建表");
    EXPECT_TRUE(script->mExecTypeExplain->isReadOnly());
    EXPECT_NE(script->mExecTypeExplain->toPlainText().indexOf("检查"), -1);
    EXPECT_EQ(script->sqlExecTypeComboBox->itemText(0).toStdString(), "检查");
    EXPECT_EQ(script->sqlExecTypeComboBox->itemText(1).toStdString(), "更新");
    EXPECT_EQ(script->sqlExecTypeComboBox->currentText().toStdString(), "更新");

    // The author's own script: renamed, typed for both kinds, a check statement.
    Click(form_->tvSelect, Chosen({"脚本", "脚本一"}));
    EXPECT_FALSE(script->edtName->isReadOnly());
    Type(script->edtName, "脚本二");
    script->sqlExecTypeComboBox->setCurrentIndex(0);
    QTest::mouseClick(script->cbDropBeforeCreate, Qt::LeftButton, {},
                      QPoint(6, script->cbDropBeforeCreate->height() / 2));
    script->mMsSQL->setPlainText("select 0, 0, ''");
    script->pcScript->setCurrentIndex(1);
    script->mOracle->setPlainText("select 0, 0, '' from dual");
    const auto& scriptNode = static_cast<const patch::TNodeScriptItem&>(Item(patch::pntScript).Node(0));
    EXPECT_EQ(scriptNode.Caption, "脚本二");
    EXPECT_EQ(scriptNode.SQLExecType, patch::seCheck);
    EXPECT_TRUE(scriptNode.DropBeforeCreate);
    EXPECT_EQ(scriptNode.Text, "select 0, 0, ''");
    EXPECT_EQ(scriptNode.Text2, "select 0, 0, '' from dual");
    // The leaf keeps the caption it was added with.
    EXPECT_EQ(Children(Chosen({"脚本"})), Texts{"脚本一"});
    // Shown again, the frame reads the node back, on its first tab.
    Click(form_->tvSelect, Chosen({"数据表", "BD_Customer"}));
    Click(form_->tvSelect, Chosen({"脚本", "脚本一"}));
    EXPECT_EQ(script->edtName->text().toStdString(), "脚本二");
    EXPECT_EQ(script->sqlExecTypeComboBox->currentIndex(), 0);
    EXPECT_EQ(script->pcScript->currentIndex(), 0);
    EXPECT_EQ(script->mOracle->toPlainText().toStdString(), "select 0, 0, '' from dual");

    // The desk-flow chart is chosen as a file.
    Click(form_->tvSelect, Chosen({"流程图", "默认流程图"}));
    TDeskFlowFrm* deskFlow = form_->DeskFlowFrm;
    ASSERT_TRUE(deskFlow->isVisible());
    EXPECT_TRUE(deskFlow->edtDir->isReadOnly());
    EXPECT_EQ(deskFlow->btnOpen->text().toStdString(), "打开(&O)");
    const std::string chart = File("流程.fld");
    user_.Paths = {chart};
    QTest::mouseClick(deskFlow->btnOpen, Qt::LeftButton);
    EXPECT_EQ(user_.Texts(Kind::OpenFile), Texts{"流程图(*.fld)|*.fld"});
    EXPECT_EQ(deskFlow->edtDir->text().toStdString(), chart);
    EXPECT_EQ(Item(patch::pntDeskFlow).Node(0).Tag, "流程.fld");
    EXPECT_EQ(Item(patch::pntDeskFlow).Node(0).Text, chart);

    // A bill has no editor.
    Click(form_->tvSelect, Chosen({"单据", "采购单"}));
    for (QWidget* frame : std::initializer_list<QWidget*>{deskFlow, script, table})
        EXPECT_FALSE(frame->isVisible());
}

TEST_F(DesignFormTest, FileListAndItsFields) {
    const std::string a = File("a.exe"), b = File("b.dll"), c = File("c.bat");
    manager_->ResItems().AddFile(File("Update.mdb")).OptType = patch::otProgram;
    Params().PatchType = patch::ptProgram;
    OpenOnTab(form_->tsProgram);
    EXPECT_EQ(form_->lbFiles->count(), 0);
    Texts captions;
    for (const QToolButton* button : {form_->btnAddFile, form_->btnDeleteFile, form_->btnUp, form_->btnDown})
        captions.push_back(button->text().toStdString());
    EXPECT_EQ(captions, (Texts{"添加文件", "删除文件", "上移", "下移"}));
    EXPECT_EQ(form_->gbFile->title().toStdString(), "文件描述");
    EXPECT_EQ(form_->cbExecType->count(), 3);
    EXPECT_EQ(form_->cbExecType->itemText(2).toStdString(), "直接执行");
    EXPECT_EQ(form_->seDelay->maximum(), 1000000);
    EXPECT_TRUE(form_->edtResName->isReadOnly());

    // Each click adds what the file dialog gives; the data file is not listed.
    user_.Paths = {a, b, c};
    for (int i = 0; i < 3; ++i) QTest::mouseClick(form_->btnAddFile, Qt::LeftButton);
    EXPECT_EQ(user_.Texts(Kind::OpenFile), (Texts(3, "所有文件(*.*)|*.*")));
    auto listed = [&] {
        Texts names;
        for (int i = 0; i < form_->lbFiles->count(); ++i)
            names.push_back(form_->lbFiles->item(i)->text().toStdString());
        return names;
    };
    EXPECT_EQ(listed(), (Texts{"a.exe", "b.dll", "c.bat"}));
    auto names = [&] {
        Texts out;
        for (std::size_t i = 0; i < manager_->ResItems().Count(); ++i)
            out.push_back(manager_->ResItems().Item(i).Name);
        return out;
    };

    // The batch file runs: its execution fields are open and store at once.
    form_->lbFiles->setCurrentRow(2);
    EXPECT_EQ(form_->edtResName->text().toStdString(), "c.bat");
    EXPECT_EQ(form_->cbExecType->currentText().toStdString(), "直接执行");
    EXPECT_TRUE(form_->edtExecParam->isEnabled());
    Type(form_->edtPath, "Bin");
    Type(form_->edtExecParam, "/q");
    QTest::mouseClick(form_->cbExecWaited, Qt::LeftButton, {}, QPoint(6, form_->cbExecWaited->height() / 2));
    form_->seDelay->setValue(250);
    const patch::TResItem& bat = *manager_->ResItems().FindByName("c.bat");
    EXPECT_EQ(bat.RelPath, "Bin");
    EXPECT_EQ(bat.Param, "/q");
    EXPECT_TRUE(bat.Waiting);
    EXPECT_EQ(bat.DelayTime, 250);
    form_->cbExecType->setCurrentIndex(1);
    EXPECT_EQ(bat.OptType, patch::otCopy);
    for (QWidget* w :
         std::initializer_list<QWidget*>{form_->cbExecWaited, form_->edtExecParam, form_->seDelay})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();

    // Up and down in the list and in the collection; nothing at the ends.
    QTest::mouseClick(form_->btnUp, Qt::LeftButton);
    EXPECT_EQ(listed(), (Texts{"a.exe", "c.bat", "b.dll"}));
    EXPECT_EQ(names(), (Texts{"Update.mdb", "a.exe", "c.bat", "b.dll"}));
    EXPECT_EQ(form_->lbFiles->currentRow(), 1);
    EXPECT_EQ(form_->edtResName->text().toStdString(), "c.bat");
    QTest::mouseClick(form_->btnUp, Qt::LeftButton);
    QTest::mouseClick(form_->btnUp, Qt::LeftButton);
    EXPECT_EQ(listed(), (Texts{"c.bat", "a.exe", "b.dll"}));
    form_->lbFiles->setCurrentRow(2);
    QTest::mouseClick(form_->btnDown, Qt::LeftButton);
    EXPECT_EQ(listed(), (Texts{"c.bat", "a.exe", "b.dll"}));
    EXPECT_EQ(names(), (Texts{"Update.mdb", "c.bat", "a.exe", "b.dll"}));

    // The program description, kept with CR LF.
    form_->mPrgrmDscrpt->setPlainText("修正\n新增");
    EXPECT_EQ(manager_->ResItems().Description, "修正\r\n新增");

    // Deleting the selected files; with none left the fields change nothing.
    form_->lbFiles->setCurrentRow(0);
    form_->lbFiles->item(2)->setSelected(true);
    QTest::mouseClick(form_->btnDeleteFile, Qt::LeftButton);
    EXPECT_EQ(listed(), Texts{"a.exe"});
    EXPECT_EQ(names(), (Texts{"Update.mdb", "a.exe"}));
    EXPECT_EQ(form_->edtResName->text().toStdString(), "a.exe");
    form_->lbFiles->setCurrentRow(0);
    QTest::mouseClick(form_->btnDeleteFile, Qt::LeftButton);
    EXPECT_EQ(listed(), Texts{});
    Type(form_->edtPath, "Nowhere");
    EXPECT_EQ(names(), Texts{"Update.mdb"});
    EXPECT_EQ(manager_->ResItems().Item(0).RelPath, "");
}

TEST_F(DesignFormTest, FillingTheDialogWritesNothingBack) {
    patch::TResItem& file = manager_->ResItems().AddFile(File("slow.bat"));
    // Beyond what the delay field can show: filling must not clamp the stored value.
    file.DelayTime = 2000000;
    file.RelPath = "Tools";
    manager_->ResItems().Description = "说明";
    Params().NeedFreeMemMB = 64;
    Params().NeedFreeDiskMB = 128;
    Params().RegInstallPath = "Software\\Torlinex\\Lumo";
    Params().SetNeedCloseFileNames("Lumo.exe-主程序,LumoSvr.exe-服务");
    Open();
    EXPECT_EQ(form_->seDelay->value(), 1000000);
    EXPECT_EQ(file.DelayTime, 2000000);
    EXPECT_EQ(form_->edtPath->text().toStdString(), "Tools");
    EXPECT_EQ(form_->mPrgrmDscrpt->toPlainText().toStdString(), "说明");
    EXPECT_EQ(form_->FreeMemMB_Edt->text().toStdString(), "64");
    EXPECT_EQ(form_->FreeDiskMB_Edt->text().toStdString(), "128");
    EXPECT_EQ(form_->RegInstallEdit->text().toStdString(), "Software\\Torlinex\\Lumo");
    EXPECT_EQ(form_->CloseFileNames_Edt->toPlainText().toStdString(), "Lumo.exe-主程序,LumoSvr.exe-服务");
    form_->close();
    Open();
    EXPECT_EQ(file.DelayTime, 2000000);
}

TEST_F(DesignFormTest, RunTimeRequirementsStoreAtOnce) {
    OpenOnTab(form_->tsConfig);
    EXPECT_EQ(form_->gbRunTime->title().toStdString(), "运行时参数");
    Texts labels;
    for (const QLabel* label : form_->gbRunTime->findChildren<QLabel*>())
        labels.push_back(label->text().toStdString());
    ASSERT_GE(labels.size(), 7u);
    EXPECT_EQ((Texts{labels.begin(), labels.begin() + 7}),
              (Texts{"空闲内存大小：", "MB     可以通过查看最大的一个文件大小获知内存的峰值",
                     "空闲硬盘大小：", "MB     可以通过查看新增文件的大小获知所需硬盘的空间",
                     "注册表安装程序路径：", "待关闭的文件名列表：", labels[6]}));
    const std::string installPath = Params().InstallPath;
    Type(form_->FreeMemMB_Edt, "256");
    Type(form_->FreeDiskMB_Edt, "1G");
    Type(form_->RegInstallEdit, "Software\\Other");
    form_->CloseFileNames_Edt->setPlainText("a.exe-甲\nb.exe-乙,c.exe");
    EXPECT_EQ(Params().NeedFreeMemMB, 256);
    EXPECT_EQ(Params().NeedFreeDiskMB, 0);
    EXPECT_EQ(Params().RegInstallPath, "Software\\Other");
    EXPECT_EQ(Params().InstallPath, installPath);
    EXPECT_EQ(Params().NeedCloseFileNames(), "a.exe-甲\r\nb.exe-乙,c.exe");
    ASSERT_EQ(Params().CloseFileCount(), 3u);
    EXPECT_EQ(Params().CloseFileCaption(1), "乙");
}

TEST_F(DesignFormTest, OpeningAgainReadsTheCatalogueAndShowsTheChosenNodes) {
    OpenOnTab(form_->tsInstance);
    Click(form_->tvAll, All({"单据", "采购单"}));
    QTest::mouseClick(form_->btnSelect, Qt::LeftButton);
    form_->accept();
    kestrane::testing::ExecAll(install_.AccountSetFile("DEMO02"),
                               {"insert into JC_BillFormat values (5000, '新单据', 3, 0, 0)"});
    Open();
    EXPECT_EQ(Children(All({"单据"})), (Texts{"采购单", "销售单", "其它单", "新单据"}));
    EXPECT_EQ(Children(Chosen({"单据"})), Texts{"采购单"});
    // The other account set is not the source.
    EXPECT_EQ(model_.Source.DBName, "DEMO02");
}

}  // namespace
}  // namespace kestrane::gui::testing
