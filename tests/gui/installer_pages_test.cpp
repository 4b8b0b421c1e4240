// The installer's own pages in the window: the installation folder page and the organisation-unit
// page, their controls and texts, the values going both ways between the widgets and the wizard's
// state, the refusals, and the organisation-unit rows kept across visits.
#include "gui/installer_pages.h"

#include <QApplication>
#include <QTest>

#include "../app/source_account_set.h"
#include "app/manager.h"
#include "e2e/sqlite_query.h"
#include "gui/inst_select_frm.h"
#include "gui/install_dir_set_frm.h"
#include "gui/install_init_frame.h"
#include "installation.h"
#include "patch/param_info.h"
#include "support/codepage.h"
#include "widget_driver.h"
#include "wizard_fixture.h"

namespace kestrane::gui::testing {
namespace {

using Kind = app::TScriptedInteraction::Kind;
using kestrane::testing::ExecAll;
using kestrane::testing::Query;

std::string Text(const QLabel* label) {
    return label->text().toStdString();
}

// A label shows its whole text: the CJK font is taller and wider than the design font.
void ExpectWholeText(const QLabel* label) {
    EXPECT_GE(label->width(), label->sizeHint().width()) << Text(label);
    EXPECT_GE(label->height(), label->sizeHint().height()) << Text(label);
}

Texts Items(const QComboBox* combo) {
    Texts out;
    for (int i = 0; i < combo->count(); ++i) out.push_back(combo->itemText(i).toStdString());
    return out;
}

const Texts kUnitTexts = {"01  总公司", "  0101  财务部", "  0102  销售部", " 02  华东分公司",
                          "  0201  上海办事处"};

// Records the folder the folder dialog would open at.
class FolderRecorder : public app::TScriptedInteraction {
  public:
    std::vector<std::string> Opened;
    bool ChooseFolder(const std::string& title, const std::string& root, std::string& directory) override {
        Opened.push_back(directory);
        return TScriptedInteraction::ChooseFolder(title, root, directory);
    }
};

class InstallerPagesTest : public WizardTest {
  protected:
    void SetUp() override {
        WizardTest::SetUp();
        RegisterInstallerPages();
    }
    void TearDown() override {
        form_.reset();
        manager_.reset();
        RegisterInstallerPages(false);
        WizardTest::TearDown();
    }

    // Account sets that name their unit by id (财务部), by the account set's own name (上海办事处), by
    // unit name (华东分公司), and not at all. Each has the units (RwID, StdCode, StdName) 1 "01" 总公司,
    // 2 "0101" 财务部, 3 "0102" 销售部, 5 "02" 华东分公司 and 4 "0201" 上海办事处, stored out of code
    // order.
    void MakeTarget() {
        const std::pair<AccountSetToMake, std::string> sets[] = {
            {{"LUMO01", "总公司账套"}, "ZTOrgID = 2, ZTUnitName = ''"},
            {{"LUMO02", "上海办事处"}, "ZTOrgID = 0, ZTUnitName = ''"},
            {{"LUMO03", "分公司账套"}, "ZTOrgID = 0, ZTUnitName = '华东分公司'"},
            {{"LUMO04", "三号账套"}, "ZTOrgID = 0, ZTUnitName = ''"}};
        std::vector<AccountSetToMake> toMake;
        for (const auto& set : sets) toMake.push_back(set.first);
        install_ = MakeInstallation(dir_, toMake);
        for (const auto& [set, unit] : sets)
            ExecAll(install_.AccountSetFile(set.DBName),
                    {"alter table Sys_Accounts add column ZTOrgID LONG",
                     "alter table Sys_Accounts add column ZTUnitName varchar(50)",
                     "update Sys_Accounts set " + unit,
                     "create table Sys_OrgUnit (RwID LONG, StdCode varchar(20), StdName varchar(50))",
                     "insert into Sys_OrgUnit values (4, '0201', '上海办事处')",
                     "insert into Sys_OrgUnit values (1, '01', '总公司')",
                     "insert into Sys_OrgUnit values (3, '0102', '销售部')",
                     "insert into Sys_OrgUnit values (5, '02', '华东分公司')",
                     "insert into Sys_OrgUnit values (2, '0101', '财务部')"});
    }
    // An installer's manager over the target installation, for pages tested on their own.
    app::TManager& Manager(app::TInteraction& user) {
        manager_ = std::make_unique<app::TManager>(user, MakePatch("Patch.exe", PatchOf(patch::ptInstance)));
        return *manager_;
    }
    template <class Page>
    std::unique_ptr<Page> Enter(app::TManager& manager) {
        auto page = std::make_unique<Page>();
        page->Manager = &manager;
        page->EnterPage(manager.ParamInfo());
        page->resize(TMainForm::kClientWidth, TMainForm::kClientHeight - 40);
        page->show();
        QApplication::processEvents();
        return page;
    }
    void Select(app::TManager& manager, std::initializer_list<const char*> names) {
        for (auto& set : manager.ParamInfo().Instances)
            set.Selected = std::find(names.begin(), names.end(), set.DBName) != names.end();
    }
    std::string Unit(const std::string& DBName) const {
        return Query(install_.AccountSetFile(DBName), "select ZTOrgID, ZTUnitName from Sys_Accounts").at(0);
    }
    // Ticks exactly these account sets on the account-set page in front.
    void Tick(std::initializer_list<const char*> names) {
        QTreeWidget* list = Front<TInstSelectFrm>().lvInstance;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            QTreeWidgetItem* row = list->topLevelItem(i);
            const bool tick =
                std::find(names.begin(), names.end(), row->text(0).toStdString()) != names.end();
            row->setCheckState(0, tick ? Qt::Checked : Qt::Unchecked);
        }
    }

    Installation install_;
    FolderRecorder folderUser_;  // outlives the manager that asks it
    std::unique_ptr<app::TManager> manager_;
};

TEST_F(InstallerPagesTest, FolderPageShowsTheFolderAndHandsBackWhatIsTypedOrChosen) {
    MakeTarget();
    FolderRecorder& user = folderUser_;
    app::TManager& manager = Manager(user);
    manager.ParamInfo().InstallPath = "/srv/lumo/";
    auto page = Enter<TInstallDirSetFrm>(manager);

    EXPECT_EQ(Text(page->lbTitle), "选择安装路径");
    EXPECT_EQ(Text(page->lbText), "请选择您原有程序的安装路径，以便于安装升级补丁");
    EXPECT_EQ(
        Text(page->lbDescrip),
        "点击“继续”进入下一步，点击“返回”回退到上一步设置\n如果您要更改安装路径，请直接录入或者点击“浏览”");
    for (const QLabel* label : {page->lbTitle, page->lbText, page->lbDescrip}) ExpectWholeText(label);
    EXPECT_EQ(page->lbDescrip->pos(), QPoint(48, 24));
    EXPECT_LE(page->lbDescrip->geometry().bottom(), page->edtDir->y());
    EXPECT_EQ(page->edtDir->geometry(), QRect(48, 80, 353, 21));
    EXPECT_EQ(page->btnBrowse->geometry(), QRect(408, 80, 49, 21));
    EXPECT_EQ(page->btnBrowse->text().toStdString(), "浏览(&R)");
    EXPECT_LE(page->btnBrowse->fontMetrics().horizontalAdvance(QStringLiteral("浏览(R)")) + 6,
              page->btnBrowse->width());
    EXPECT_EQ(page->edtDir->text().toStdString(), "/srv/lumo/");

    // The dialog opens at the folder part of what was typed, and its choice lands in the field.
    Type(page->edtDir, QString::fromStdString(install_.Folder.string() + "/Bin/Lumo.exe"));
    user.Paths = {install_.Folder.string()};
    Click(page->btnBrowse);
    EXPECT_EQ(user.Opened, Texts{install_.Folder.string() + "/Bin/"});
    EXPECT_EQ(user.Texts(Kind::Folder), Texts{"选择安装路径"});
    EXPECT_EQ(page->edtDir->text().toStdString(), install_.Folder.string());
    // A cancelled dialog leaves the field alone.
    user.Answers = {false};
    Click(page->btnBrowse);
    EXPECT_EQ(page->edtDir->text().toStdString(), install_.Folder.string());

    // Left with the folder shown: stored with its delimiter, and that installation's account sets are
    // the ones offered next.
    EXPECT_TRUE(page->LeavePage(manager.ParamInfo()));
    EXPECT_EQ(manager.ParamInfo().InstallPath, install_.Folder.string() + "/");
    EXPECT_EQ(manager.ParamInfo().Instances.size(), 4u);
    EXPECT_EQ(user.Texts(Kind::Notice), Texts{});
}

TEST_F(InstallerPagesTest, RefusedFolderShowsThePageUntilAnExistingFolderIsGiven) {
    // No installation is registered: the folder is empty.
    Open(MakePatch("Patch.exe", PatchOf(patch::ptProgram)));
    ASSERT_EQ(CurrentPageName(), "TMainFrm");
    Click(form_->btnNext);
    EXPECT_EQ(user_.Texts(Kind::Notice), Texts{"请输入或者选择源程序安装路径"});
    ASSERT_EQ(CurrentPageName(), "TInstallDirSetFrm");
    EXPECT_EQ(VisibleButtons(), (Texts{"〈 返回(&B)", "继续(&N)", "取消(&C)"}));
    auto& page = Front<TInstallDirSetFrm>();

    // Tab leaves the field for Next, passing the browse button by.
    ASSERT_TRUE(QTest::qWaitForWindowActive(form_.get()));
    page.edtDir->setFocus();
    QTest::keyClick(page.edtDir, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form_->btnNext);

    Type(page.edtDir, QString::fromStdString((dir_ / "missing").string()));
    user_.Calls.clear();
    Click(form_->btnNext);
    EXPECT_EQ(user_.Texts(Kind::Notice), Texts{"您输入的路径不存在，请确认"});
    EXPECT_EQ(CurrentPageName(), "TInstallDirSetFrm");

    Type(page.edtDir, QString::fromStdString(dir_.string()));
    user_.Calls.clear();
    Click(form_->btnNext);
    EXPECT_EQ(user_.Calls.size(), 0u);
    EXPECT_EQ(CurrentPageName(), "TProgressFrm");
    EXPECT_EQ(form_->Manager->ParamInfo().InstallPath, dir_.string() + "/");

    // Back passes the page by again: it shows only when it refuses.
    Click(form_->btnPre);
    EXPECT_EQ(CurrentPageName(), "TMainFrm");
}

TEST_F(InstallerPagesTest, FolderPageIsNeverSeenWhenTheRegisteredFolderExists) {
    MakeTarget();
    Open(MakePatch("Patch.exe", PatchOf(patch::ptProgram)));
    Click(form_->btnNext);
    EXPECT_EQ(CurrentPageName(), "TProgressFrm");
    EXPECT_EQ(user_.Calls.size(), 0u);
    EXPECT_EQ(form_->Manager->ParamInfo().InstallPath, install_.Folder.string() + "/");
}

TEST_F(InstallerPagesTest, OrgUnitPageHasARowPerChosenAccountSetWithItsUnitPreselected) {
    MakeTarget();
    app::TManager& manager = Manager(user_);
    Select(manager, {"LUMO01", "LUMO02", "LUMO03", "LUMO04"});
    auto page = Enter<TInstallInitFrame>(manager);

    EXPECT_EQ(Text(page->lbTitle), "确定账套组织机构");
    EXPECT_EQ(Text(page->lbText), "请选择您系统账套的组织机构");
    EXPECT_EQ(page->pnTop->geometry(), QRect(0, 0, page->width(), 65));
    EXPECT_EQ(page->lbTitle->pos(), QPoint(24, 16));
    EXPECT_EQ(page->lbText->pos(), QPoint(46, 32));
    EXPECT_EQ(page->BackPanel->geometry(), QRect(0, 65, page->width(), page->height() - 65));
    EXPECT_EQ(page->BackScrollBox->geometry(), page->BackPanel->rect());
    EXPECT_EQ(page->BackScrollBox->frameShape(), QFrame::NoFrame);
    EXPECT_EQ(page->BackScrollBox->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

    struct Row {
        std::string caption;
        std::string shown;  // the preselected entry, empty for none
    };
    const Row rows[] = {{"【总公司账套】帐套组织机构：", "  0101  财务部"},
                        {"【上海办事处】帐套组织机构：", "  0201  上海办事处"},
                        {"【分公司账套】帐套组织机构：", " 02  华东分公司"},
                        {"【三号账套】帐套组织机构：", ""}};
    ASSERT_EQ(page->LabelByAccountSet.size(), std::size(rows));
    ASSERT_EQ(page->ComboByAccountSet.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].caption);
        const QLabel* label = page->LabelByAccountSet[i];
        const QComboBox* combo = page->ComboByAccountSet[i];
        EXPECT_EQ(label->parentWidget(), page->BackScrollBox->widget());
        EXPECT_EQ(Text(label), rows[i].caption);
        const int top = 40 * static_cast<int>(i);
        const int width = 12 * static_cast<int>(support::Utf8ToCp936(rows[i].caption).size());
        EXPECT_EQ(label->pos(), QPoint(22, top + 13));
        EXPECT_EQ(label->width(), width);
        ExpectWholeText(label);
        EXPECT_LE(label->geometry().bottom(), combo->y());
        EXPECT_EQ(combo->geometry(), QRect(22, top + 32, 433, 20));
        EXPECT_FALSE(combo->isEditable());
        EXPECT_TRUE(label->isVisible());
        EXPECT_TRUE(combo->isVisible());
        EXPECT_EQ(Items(combo), kUnitTexts);
        EXPECT_EQ(combo->currentText().toStdString(), rows[i].shown);
    }
    // The rows lie within the scroll box's range.
    EXPECT_GE(page->BackScrollBox->widget()->height(), page->ComboByAccountSet.back()->geometry().bottom());
}

TEST_F(InstallerPagesTest, MissingUnitIsRefusedAndTheChoicesAreConfirmedBeforeTheyAreWritten) {
    MakeTarget();
    app::TManager& manager = Manager(user_);
    Select(manager, {"LUMO01", "LUMO04"});
    auto page = Enter<TInstallInitFrame>(manager);
    ASSERT_EQ(page->ComboByAccountSet.size(), 2u);

    EXPECT_FALSE(page->LeavePage(manager.ParamInfo()));
    ASSERT_EQ(user_.Calls.size(), 1u);
    EXPECT_EQ(user_.Calls[0].kind, Kind::Notice);
    EXPECT_EQ(user_.Calls[0].owner, app::TBoxOwner::CurrentPage);
    EXPECT_EQ(
        user_.Calls[0].text,
        "下列帐套未选择组织机构，请选择：\r\n    \r\n【三号账套】帐套组织机构：未选择组织机构，请选择！");

    // The user picks 上海办事处 for the account set without a unit; the first question is cancelled.
    page->ComboByAccountSet[1]->setCurrentIndex(4);
    user_.Calls.clear();
    user_.Answers = {false};
    EXPECT_FALSE(page->LeavePage(manager.ParamInfo()));
    ASSERT_EQ(user_.Calls.size(), 1u);
    EXPECT_EQ(user_.Calls[0].kind, Kind::Confirm);
    EXPECT_EQ(user_.Calls[0].owner, app::TBoxOwner::None);
    EXPECT_EQ(user_.Calls[0].text,
              "您是否确定如下选择：\r\n    【总公司账套】帐套组织机构：财务部\r\n    "
              "【三号账套】帐套组织机构：上海办事处");
    EXPECT_EQ(Unit("LUMO04"), "0|");

    EXPECT_TRUE(page->LeavePage(manager.ParamInfo()));
    EXPECT_EQ(Unit("LUMO01"), "2|财务部");
    EXPECT_EQ(Unit("LUMO04"), "4|上海办事处");
    EXPECT_EQ(Unit("LUMO02"), "0|");
}

TEST_F(InstallerPagesTest, RowsAreBuiltOnceAndHiddenOrMovedUpWhenTheWizardComesForwardAgain) {
    MakeTarget();
    Open(MakePatch("Patch.exe", PatchOf(patch::ptInstance)));
    Click(form_->btnNext);
    ASSERT_EQ(CurrentPageName(), "TInstSelectFrm");
    Tick({"LUMO01", "LUMO03"});
    Click(form_->btnNext);
    ASSERT_EQ(CurrentPageName(), "TInstallInitFrame");
    auto& page = Front<TInstallInitFrame>();
    ASSERT_EQ(page.ComboByAccountSet.size(), 2u);
    QLabel* firstLabel = page.LabelByAccountSet[0];
    QComboBox* first = page.ComboByAccountSet[0];
    QComboBox* second = page.ComboByAccountSet[1];

    // The user picks 销售部 for the second account set by the keyboard, then goes back.
    second->setFocus();
    QTest::keyClick(second, Qt::Key_Up);
    ASSERT_EQ(second->currentText().toStdString(), "  0102  销售部");
    // A list once filled is kept: a unit added meanwhile does not appear.
    ExecAll(install_.AccountSetFile("LUMO03"), {"insert into Sys_OrgUnit values (9, '03', '华南分公司')"});
    Click(form_->btnPre);
    ASSERT_EQ(CurrentPageName(), "TInstSelectFrm");
    Tick({"LUMO03", "LUMO04"});
    Click(form_->btnNext);
    ASSERT_EQ(CurrentPageName(), "TInstallInitFrame");

    ASSERT_EQ(page.ComboByAccountSet.size(), 3u);
    EXPECT_EQ(page.LabelByAccountSet[0], firstLabel);
    EXPECT_EQ(page.ComboByAccountSet[0], first);
    EXPECT_EQ(page.ComboByAccountSet[1], second);
    EXPECT_FALSE(firstLabel->isVisible());
    EXPECT_FALSE(first->isVisible());
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(page.LabelByAccountSet[1]->pos(), QPoint(22, 13));
    EXPECT_EQ(second->pos(), QPoint(22, 32));
    EXPECT_EQ(second->currentText().toStdString(), "  0102  销售部");
    EXPECT_EQ(Items(second), kUnitTexts);
    EXPECT_EQ(Text(page.LabelByAccountSet[2]), "【三号账套】帐套组织机构：");
    EXPECT_EQ(page.LabelByAccountSet[2]->pos(), QPoint(22, 53));
    EXPECT_EQ(page.ComboByAccountSet[2]->pos(), QPoint(22, 72));

    // Only the rows shown are asked for and written.
    page.ComboByAccountSet[2]->setCurrentIndex(0);
    user_.Calls.clear();
    Click(form_->btnNext);
    EXPECT_EQ(user_.Texts(Kind::Confirm),
              Texts{"您是否确定如下选择：\r\n    【分公司账套】帐套组织机构：销售部\r\n    "
                    "【三号账套】帐套组织机构：总公司"});
    EXPECT_EQ(CurrentPageName(), "TProgressFrm");
    EXPECT_EQ(Unit("LUMO01"), "2|");
    EXPECT_EQ(Unit("LUMO03"), "3|销售部");
    EXPECT_EQ(Unit("LUMO04"), "1|总公司");
}

TEST_F(InstallerPagesTest, AccountSetWhoseUnitsCannotBeReadKeepsTheWizardWhereItWas) {
    MakeTarget();
    ExecAll(install_.AccountSetFile("LUMO02"), {"drop table Sys_OrgUnit"});
    Open(MakePatch("Patch.exe", PatchOf(patch::ptInstance)));
    Click(form_->btnNext);
    Tick({"LUMO01", "LUMO02"});
    Click(form_->btnNext);
    ASSERT_EQ(user_.Texts(Kind::Error).size(), 1u);
    EXPECT_NE(user_.Texts(Kind::Error)[0].find("Sys_OrgUnit"), std::string::npos)
        << user_.Texts(Kind::Error)[0];
    EXPECT_EQ(CurrentPageName(), "TInstSelectFrm");

    // Repaired, the next visit builds the row that failed.
    ExecAll(install_.AccountSetFile("LUMO02"),
            {"create table Sys_OrgUnit (RwID LONG, StdCode varchar(20), StdName varchar(50))"});
    Click(form_->btnNext);
    ASSERT_EQ(CurrentPageName(), "TInstallInitFrame");
    EXPECT_EQ(Front<TInstallInitFrame>().ComboByAccountSet.size(), 2u);
}

}  // namespace
}  // namespace kestrane::gui::testing
