// The maker's step pages and the account-set page in the window: their controls and texts, the
// values going both ways between the widgets and the wizard's state, and the refusals reaching the
// user.
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/manager.h"
#include "gui/db_info_set_frm.h"
#include "gui/inst_select_frm.h"
#include "gui/patch_build_frm.h"
#include "gui/patch_type_set_frm.h"
#include "installation.h"
#include "patch/param_info.h"
#include "wizard_fixture.h"

namespace kestrane::gui::testing {
namespace {

namespace fs = std::filesystem;
using Kind = app::TScriptedInteraction::Kind;
using Texts = std::vector<std::string>;

std::string Text(const QLabel* label) {
    return label->text().toStdString();
}
std::string Text(const QAbstractButton* button) {
    return button->text().toStdString();
}
std::string Text(const QLineEdit* edit) {
    return edit->text().toStdString();
}

// Every visible control of `panel` lies inside it and clear of the others, and every label shows its
// whole text: the CJK font is taller and wider than the layout's design font.
void ExpectTidy(const QWidget* panel) {
    std::vector<const QWidget*> shown;
    for (const QWidget* child : panel->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isHidden()) shown.push_back(child);
    for (std::size_t i = 0; i < shown.size(); ++i) {
        const QWidget* c = shown[i];
        const std::string name = c->objectName().toStdString() + " " + c->metaObject()->className();
        EXPECT_TRUE(panel->rect().contains(c->geometry())) << name;
        if (const auto* label = qobject_cast<const QLabel*>(c)) {
            if (label->wordWrap())
                EXPECT_GE(label->height(), label->heightForWidth(label->width())) << name;
            else {
                EXPECT_GE(label->width(), label->sizeHint().width()) << name;
                EXPECT_GE(label->height(), label->sizeHint().height()) << name;
            }
        } else if (const auto* button = qobject_cast<const QPushButton*>(c)) {
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()) + 6, button->width()) << name;
        } else if (const auto* box = qobject_cast<const QAbstractButton*>(c)) {
            EXPECT_GE(box->width(), box->sizeHint().width()) << name;
        }
        for (std::size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(c->geometry().intersects(shown[j]->geometry()))
                << name << " / " << shown[j]->objectName().toStdString();
    }
}

class MakerWindowPagesTest : public PageTest {
  protected:
    // A page activated as the manager activates it, on screen.
    template <class Page>
    std::unique_ptr<Page> Enter() {
        auto page = std::make_unique<Page>();
        page->Manager = manager_.get();
        page->EnterPage(Params());
        page->show();
        QApplication::processEvents();
        return page;
    }

    static support::TInstanceRec AccountSet(const char* db, const char* name, bool selected = false) {
        support::TInstanceRec rec;
        rec.DBName = db;
        rec.AccountName = name;
        rec.Version = "8.1";
        rec.Selected = selected;
        return rec;
    }
};

TEST_F(MakerWindowPagesTest, PatchTypePageShowsAndStoresTheChoice) {
    Params().PatchType = patch::ptInstance;
    Params().NotCheckVersion = true;
    Params().NotBackup = true;
    auto page = Enter<TPatchTypeSetFrm>();
    EXPECT_EQ(Text(page->lbTitle), "选择补丁类型");
    EXPECT_EQ(Text(page->lbText), "请选择您本次需要制作的补丁类型");
    EXPECT_EQ(Text(page->lbDescrip), "点击“继续”进入下一步，点击“返回”回退到上一步设置");
    EXPECT_EQ(page->rgPatchType->title().toStdString(), "补丁类型");
    const std::pair<QAbstractButton*, std::string> captions[] = {
        {page->rbProgram, " “程序” 补丁"},
        {page->rbInstance, " “账套” 补丁"},
        {page->rbBoth, " “程序 + 账套” 补丁"},
        {page->cbNotCheckVersion, "升级补丁安装时不校验版本号"},
        {page->cbNotUpdateVersion, "升级补丁安装时不更新版本号"},
        {page->cbNotBackup, "升级补丁安装时不备份不恢复账套"}};
    for (const auto& [button, caption] : captions) EXPECT_EQ(Text(button), caption);
    EXPECT_EQ(Text(page->Label1), "注册表安装程序路径：");
    ExpectTidy(page->pnClient);
    ExpectTidy(page->rgPatchType);

    // The parameters reach the widgets ...
    EXPECT_TRUE(page->rbInstance->isChecked());
    EXPECT_FALSE(page->rbBoth->isChecked());
    EXPECT_TRUE(page->cbNotCheckVersion->isChecked());
    EXPECT_FALSE(page->cbNotUpdateVersion->isChecked());
    EXPECT_TRUE(page->cbNotBackup->isChecked());
    EXPECT_EQ(Text(page->RegInstallEdit), "Software\\Torlinex\\Lumo");

    // ... and the user's clicks reach the parameters; the registry key is as it was, so the
    // installation is not read again.
    QTest::mouseClick(page->rbProgram, Qt::LeftButton);
    QTest::mouseClick(page->cbNotUpdateVersion, Qt::LeftButton);
    QTest::mouseClick(page->cbNotBackup, Qt::LeftButton);
    EXPECT_FALSE(page->rbInstance->isChecked());
    const std::string installPath = Params().InstallPath;
    Params().Instances = {AccountSet("A", "甲")};
    EXPECT_TRUE(page->LeavePage(Params()));
    EXPECT_EQ(Params().PatchType, patch::ptProgram);
    EXPECT_TRUE(Params().NotCheckVersion);
    EXPECT_TRUE(Params().NotUpdateVersion);
    EXPECT_FALSE(Params().NotBackup);
    EXPECT_EQ(Params().InstallPath, installPath);
    EXPECT_EQ(Params().Instances.size(), 1u);

    // A first visit chooses both kinds.
    Params().PatchType = patch::ptNone;
    page->EnterPage(Params());
    EXPECT_TRUE(page->rbBoth->isChecked());
    EXPECT_TRUE(page->LeavePage(Params()));
    EXPECT_EQ(Params().PatchType, patch::ptBoth);
}

TEST_F(MakerWindowPagesTest, ChangedRegistryKeyReadsTheInstallationItNames) {
    const Installation install = MakeInstallation(dir_, {{"DEMO01", "演示一"}, {"DEMO02", "演示二"}});
    Params().RegInstallPath = "Software\\Elsewhere";
    auto page = Enter<TPatchTypeSetFrm>();
    EXPECT_EQ(Text(page->RegInstallEdit), "Software\\Elsewhere");
    page->RegInstallEdit->clear();
    QTest::keyClicks(page->RegInstallEdit, "Software\\Torlinex\\Lumo");
    EXPECT_TRUE(page->LeavePage(Params()));
    EXPECT_EQ(Params().RegInstallPath, "Software\\Torlinex\\Lumo");
    EXPECT_EQ(Params().InstallPath, install.Folder.string() + "/");
    ASSERT_EQ(Params().Instances.size(), 2u);
    EXPECT_EQ(Params().Instances[1].AccountName, "演示二");
    ASSERT_EQ(Params().DBInfos.size(), 1u);
    EXPECT_EQ(Params().DBInfos[0].DBType, support::dbAccess);
}

TEST_F(MakerWindowPagesTest, DatabasePageEditsTheKnownServers) {
    support::TDBInfoRec sql;
    sql.DBType = support::dbtMsSql;
    sql.Server = "srv";
    sql.Port = 1500;
    sql.User = "sa";
    sql.Password = "pw";
    support::TDBInfoRec oracle;
    oracle.DBType = support::dbtOracle;
    oracle.Server = "ora";
    oracle.Port = 1522;
    oracle.SID = "ORCL";
    oracle.User = "scott";
    oracle.Password = "tiger";
    Params().DBInfos = {sql, oracle, sql};
    auto page = Enter<TDBInfoSetFrm>();
    EXPECT_EQ(Text(page->lbTitle), "配置数据库连接");
    EXPECT_EQ(Text(page->lbText), "请配置系统账套所在的数据库的连接信息");
    EXPECT_EQ(Text(page->lbDescrip),
              "点击“继续”进入下一步，点击“返回”回退到上一步设置\n如果您要检查所配置的连接信息是否正确，请点击"
              "“测试连接”");
    EXPECT_EQ(page->pcDataBase->tabText(0).toStdString(), "MSSQL/MSDE");
    EXPECT_EQ(page->pcDataBase->tabText(1).toStdString(), "ORACLE");
    EXPECT_EQ(page->pcDataBase->currentWidget(), page->tsMsSQL);
    EXPECT_EQ(Text(page->cbIntegrated), "Windows集成登录");
    EXPECT_EQ(Text(page->btnTest), "测试连接");
    EXPECT_EQ(Text(page->btnTest_PL), "测试连接");
    EXPECT_EQ(Text(page->lbUser), "用户名");
    EXPECT_EQ(Text(page->lbPassword), "密  码");
    EXPECT_EQ(page->edtPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(page->edtPassword_PL->echoMode(), QLineEdit::Password);
    std::vector<std::string> labels;
    for (const QLabel* label : page->tsOracle->findChildren<QLabel*>()) labels.push_back(Text(label));
    EXPECT_EQ(labels, (Texts{"服务器", "端口号", "SID", "用户名", "密  码"}));
    ExpectTidy(page->pnClient);
    ExpectTidy(page->tsMsSQL);
    page->pcDataBase->setCurrentWidget(page->tsOracle);
    ExpectTidy(page->tsOracle);
    EXPECT_FALSE(page->CanShow());

    EXPECT_EQ(Text(page->edtServer), "srv");
    EXPECT_EQ(Text(page->edtPort), "1500");
    EXPECT_EQ(Text(page->edtUser), "sa");
    EXPECT_EQ(Text(page->edtPassword), "pw");
    EXPECT_EQ(Text(page->edtServer_PL), "ora");
    EXPECT_EQ(Text(page->edtPort_PL), "1522");
    EXPECT_EQ(Text(page->edtSID_PL), "ORCL");
    EXPECT_EQ(Text(page->edtUser_PL), "scott");
    EXPECT_EQ(Text(page->edtPassword_PL), "tiger");

    // The integrated login empties the user and password; clearing it does not bring them back.
    page->pcDataBase->setCurrentWidget(page->tsMsSQL);
    QTest::mouseClick(page->cbIntegrated, Qt::LeftButton);
    for (QWidget* w :
         std::initializer_list<QWidget*>{page->edtUser, page->edtPassword, page->lbUser, page->lbPassword})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(Text(page->edtUser), "");
    EXPECT_EQ(Text(page->edtPassword), "");
    QTest::mouseClick(page->cbIntegrated, Qt::LeftButton);
    EXPECT_TRUE(page->edtUser->isEnabled());
    EXPECT_TRUE(page->lbPassword->isEnabled());
    EXPECT_EQ(Text(page->edtUser), "");

    // Ports that are no numbers store the kinds' defaults; both SQL Server records take the tab.
    page->edtServer->setText("新服务器");
    page->edtPort->setText("abc");
    page->edtUser->setText("u2");
    page->edtPort_PL->setText("x");
    EXPECT_TRUE(page->LeavePage(Params()));
    for (std::size_t i : {0u, 2u}) {
        EXPECT_EQ(Params().DBInfos[i].Server, "新服务器");
        EXPECT_EQ(Params().DBInfos[i].Port, 1433);
        EXPECT_EQ(Params().DBInfos[i].User, "u2");
        EXPECT_EQ(Params().DBInfos[i].Password, "");
        EXPECT_FALSE(Params().DBInfos[i].Integrated);
    }
    EXPECT_EQ(Params().DBInfos[1].Port, 1521);
    EXPECT_EQ(Params().DBInfos[1].SID, "ORCL");
}

TEST_F(MakerWindowPagesTest, ConnectionTestsTellTheOutcome) {
    auto page = Enter<TDBInfoSetFrm>();
    EXPECT_TRUE(page->CanShow());
    // Nothing listens there: each test reports its failure in a box of the page.
    page->edtServer->setText("127.0.0.1");
    page->edtPort->setText("1");
    page->edtServer_PL->setText("127.0.0.1");
    page->edtPort_PL->setText("1");
    for (QPushButton* button : {page->btnTest, page->btnTest_PL}) {
        user_.Calls.clear();
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_EQ(user_.Calls.size(), 1u) << button->objectName().toStdString();
        EXPECT_EQ(user_.Calls[0].kind, Kind::Notice);
        EXPECT_EQ(user_.Calls[0].caption, "提示信息");
        EXPECT_EQ(user_.Calls[0].owner, app::TBoxOwner::CurrentPage);
        EXPECT_FALSE(user_.Calls[0].text.empty());
        EXPECT_NE(user_.Calls[0].text, "数据库测试连接成功");
    }
}

TEST_F(MakerWindowPagesTest, AccountSetPageListsTicksAndRefuses) {
    Params().Instances = {AccountSet("A01", "甲账套"), AccountSet("B02", "乙账套", true),
                          AccountSet("C03", "丙账套")};
    auto page = Enter<TInstSelectFrm>();
    EXPECT_EQ(page->gbInstance->geometry(), QRect(48, 56, 409, 185));
    EXPECT_EQ(page->lbDescrip->x(), 48);
    EXPECT_LE(page->lbDescrip->y(), 24);
    EXPECT_LE(page->lbDescrip->geometry().bottom(), 56);
    EXPECT_EQ(page->gbInstance->title().toStdString(), "账套列表");
    EXPECT_EQ(Text(page->tbSelAll), "全选");
    EXPECT_EQ(Text(page->tbClrAll), "全清");
    EXPECT_EQ(Text(page->ToolButton1), "反选");
    const QTreeWidgetItem* header = page->lvInstance->headerItem();
    EXPECT_EQ(header->text(0).toStdString(), "账套标识");
    EXPECT_EQ(header->text(1).toStdString(), "账套名称");
    EXPECT_EQ(header->text(2).toStdString(), "账套版本");
    EXPECT_EQ(page->lvInstance->columnWidth(0), 120);
    EXPECT_EQ(page->lvInstance->columnWidth(1), 200);
    EXPECT_GE(page->lvInstance->columnWidth(2), 78);
    EXPECT_EQ(page->lvInstance->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(page->lvInstance->editTriggers(), QAbstractItemView::NoEditTriggers);
    ExpectTidy(page->pnClient);

    auto ticks = [&] {
        std::string out;
        for (int i = 0; i < page->lvInstance->topLevelItemCount(); ++i)
            out += page->lvInstance->topLevelItem(i)->checkState(0) == Qt::Checked ? 'x' : '-';
        return out;
    };
    ASSERT_EQ(page->lvInstance->topLevelItemCount(), 3);
    const QTreeWidgetItem* row = page->lvInstance->topLevelItem(1);
    EXPECT_EQ(row->text(0).toStdString(), "B02");
    EXPECT_EQ(row->text(1).toStdString(), "乙账套");
    EXPECT_EQ(row->text(2).toStdString(), "8.1");
    EXPECT_EQ(ticks(), "-x-");

    // The tool buttons work on the ticks as the user left them.
    page->lvInstance->topLevelItem(2)->setCheckState(0, Qt::Checked);
    QTest::mouseClick(page->ToolButton1, Qt::LeftButton);
    EXPECT_EQ(ticks(), "x--");
    QTest::mouseClick(page->tbSelAll, Qt::LeftButton);
    EXPECT_EQ(ticks(), "xxx");
    EXPECT_FALSE(Params().Instances[0].Selected);

    // The maker takes one source; the ticks are stored even when the page refuses.
    struct Case {
        std::string ticks, message;
        bool leaves;
    };
    for (const Case& c : {Case{"xxx", "不允许同时选择多个账套", false},
                          Case{"---", "请选择一个用于制作补丁的账套", false}, Case{"--x", "", true}}) {
        QTest::mouseClick(page->tbClrAll, Qt::LeftButton);
        for (int i = 0; i < 3; ++i)
            if (c.ticks[static_cast<std::size_t>(i)] == 'x')
                page->lvInstance->topLevelItem(i)->setCheckState(0, Qt::Checked);
        user_.Calls.clear();
        EXPECT_EQ(page->LeavePage(Params()), c.leaves) << c.ticks;
        EXPECT_EQ(user_.Texts(Kind::Notice), c.message.empty() ? Texts{} : Texts{c.message}) << c.ticks;
        for (std::size_t i = 0; i < 3; ++i)
            EXPECT_EQ(Params().Instances[i].Selected, c.ticks[i] == 'x') << c.ticks << i;
    }
}

TEST_F(MakerWindowPagesTest, AccountSetPageTextsByRunMode) {
    struct Case {
        patch::TRunMode mode;
        std::string title, text, tail, refusal;
    };
    for (const Case& c :
         {Case{patch::rmMaker, "选择账套来源", "请选择您用来制作数据库补丁的系统账套",
               "您可以勾选列表中的账套，只能选择一个", "请选择一个用于制作补丁的账套"},
          Case{patch::rmInstaller, "选择需要升级的账套", "请选择您要给系统的哪些账套打上升级补丁？",
               "您可以勾选列表中的账套，允许选择多个", "请选择要升级哪些账套"}}) {
        Params().RunMode = c.mode;
        Params().Instances.clear();
        auto page = Enter<TInstSelectFrm>();
        EXPECT_EQ(Text(page->lbTitle), c.title);
        EXPECT_EQ(Text(page->lbText), c.text);
        EXPECT_EQ(Text(page->lbDescrip), "点击“继续”进入下一步，点击“返回”回退到上一步设置\n" + c.tail);
        user_.Calls.clear();
        EXPECT_FALSE(page->LeavePage(Params()));
        EXPECT_EQ(user_.Texts(Kind::Notice), Texts{c.refusal});
    }
}

TEST_F(MakerWindowPagesTest, OnlyAccountSetIsTickedAndPassedOver) {
    Params().Instances = {AccountSet("A01", "甲账套")};
    auto page = Enter<TInstSelectFrm>();
    EXPECT_EQ(page->lvInstance->topLevelItem(0)->checkState(0), Qt::Unchecked);
    EXPECT_FALSE(page->CanShow());
    EXPECT_EQ(page->lvInstance->topLevelItem(0)->checkState(0), Qt::Checked);
    EXPECT_TRUE(page->LeavePage(Params()));
    EXPECT_TRUE(Params().Instances[0].Selected);
    Params().Instances.push_back(AccountSet("B02", "乙账套"));
    page->EnterPage(Params());
    EXPECT_TRUE(page->CanShow());
}

TEST_F(MakerWindowPagesTest, BuildPageShowsThePatchFileAndTheVersionTexts) {
    Params().PatchFileName = (dir_ / "out" / "补丁.exe").string();
    Params().NotUpdateVersion = true;
    auto page = Enter<TPatchBuildFrm>();
    EXPECT_EQ(Text(page->lbTitle), "补丁制作");
    EXPECT_EQ(Text(page->lbText), "在此功能界面可完成具体补丁内容的设置和制作");
    const std::pair<QAbstractButton*, std::string> captions[] = {
        {page->btnBrowse, "浏览(&R)"},
        {page->btnOpenPatch, "打开原有补丁(&O)"},
        {page->btnDesign, "添加补丁内容(&M)"},
        {page->btnImportVersion, "导入版本文件(&V)"}};
    for (const auto& [button, caption] : captions) EXPECT_EQ(Text(button), caption);
    EXPECT_EQ(Text(page->lbName), "名称");
    EXPECT_EQ(Text(page->lbDir), "路径");
    EXPECT_TRUE(page->lbVersion->wordWrap());
    EXPECT_TRUE(page->lbVersionInfo->wordWrap());
    ExpectTidy(page->pnClient);

    EXPECT_EQ(Text(page->edtName), "补丁.exe");
    EXPECT_EQ(Text(page->edtDir), (dir_ / "out").string() + "/");
    EXPECT_EQ(Text(page->lbVersion), "该补丁版本升级方式：\n    校验版本号不更新版本号");
    EXPECT_EQ(Text(page->lbVersionInfo), "该补丁版本信息：\n    升级版本：无\n    适用版本：无");

    // Browsing starts at the folder of the field and puts the choice into it.
    const fs::path chosen = dir_ / "选中";
    fs::create_directories(chosen);
    user_.Paths = {chosen.string()};
    QTest::mouseClick(page->btnBrowse, Qt::LeftButton);
    EXPECT_EQ(user_.Texts(Kind::Folder), Texts{"选择保存路径"});
    EXPECT_EQ(Text(page->edtDir), chosen.string());
}

TEST_F(MakerWindowPagesTest, BuildPageRefusesInOrderAndSaysWhy) {
    const fs::path out = dir_ / "out";
    fs::create_directories(out);
    const std::string userFile = (dir_ / "Lumo.exe").string();
    std::ofstream(userFile) << "program";
    auto page = Enter<TPatchBuildFrm>();
    struct Case {
        std::string name, dir;
        patch::TKVPatchType type;
        bool versionSwitchesOff, withFile, withNode;
        std::string refusal;
    };
    const std::string dir = out.string();
    const Case cases[] = {
        {"", dir, patch::ptBoth, true, true, true, "请输入要生成的补丁名称"},
        {"补丁", "", patch::ptBoth, true, true, true, "请输入或者选择要生成的补丁的路径"},
        {"补丁", dir + "/没有", patch::ptBoth, true, true, true, "您输入的路径不存在，请确认"},
        {"补丁", dir, patch::ptBoth, false, true, true, "请添加版本文件"},
        {"补丁", dir, patch::ptProgram, true, false, true, "您没有添加任何升级文件，请确认"},
        {"补丁", dir, patch::ptBoth, true, false, true, "您没有添加任何升级文件，请确认"},
        {"补丁", dir, patch::ptInstance, true, false, false, "您没有添加任何账套升级数据，请确认"},
        {"补丁", dir, patch::ptBoth, true, true, false, "您没有添加任何账套升级数据，请确认"},
        {"补丁.EXE", dir, patch::ptBoth, true, true, true, ""},
    };
    for (const Case& c : cases) {
        Params().PatchType = c.type;
        Params().NotCheckVersion = Params().NotUpdateVersion = c.versionSwitchesOff;
        manager_->ResItems().ClearItems();
        manager_->InstResItems().ClearNodes();
        if (c.withFile) manager_->ResItems().AddFile(userFile);
        if (c.withNode) manager_->InstResItems().FindByNodeType(patch::pntQuery)->Create<patch::TNodeItem>();
        page->edtName->setText(QString::fromStdString(c.name));
        page->edtDir->setText(QString::fromStdString(c.dir));
        user_.Calls.clear();
        EXPECT_EQ(page->LeavePage(Params()), c.refusal.empty()) << c.refusal;
        EXPECT_EQ(user_.Texts(Kind::Notice), c.refusal.empty() ? Texts{} : Texts{c.refusal});
        if (!user_.Calls.empty()) {
            EXPECT_EQ(user_.Calls[0].caption, "提示信息");
        }
    }
    // The name ends in ".exe" already, in another letter case.
    EXPECT_EQ(Params().PatchFileName, dir + "/补丁.EXE");
}

// A watchdog for a modal window that must not open: it is closed at once and reported.
class NoModalExpected {
  public:
    NoModalExpected() {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                opened_ = true;
                modal->close();
            }
        });
        timer_.start();
    }
    bool Opened() const { return opened_; }

  private:
    QTimer timer_;
    bool opened_ = false;
};

TEST_F(MakerWindowPagesTest, DesignerThatCannotReadItsCatalogueStaysClosed) {
    Params().PatchType = patch::ptInstance;
    auto page = Enter<TPatchBuildFrm>();
    const NoModalExpected watchdog;
    QTest::mouseClick(page->btnDesign, Qt::LeftButton);
    EXPECT_FALSE(watchdog.Opened());
    EXPECT_EQ(user_.Texts(Kind::Error), Texts{"请选择一个用于制作补丁的账套"});

    // A source whose database is missing fails while its catalogue is read.
    support::TInstanceRec source = AccountSet("GONE", "不存在");
    source.Selected = true;
    source.DBInfo.DBType = support::dbAccess;
    source.DBInfo.Server = (dir_ / "none").string();
    Params().Instances = {source};
    user_.Calls.clear();
    QTest::mouseClick(page->btnDesign, Qt::LeftButton);
    EXPECT_FALSE(watchdog.Opened());
    ASSERT_EQ(user_.Texts(Kind::Error).size(), 1u);
    EXPECT_FALSE(page->Designer->isVisible());
}

TEST_F(MakerWindowPagesTest, OpeningAPatchOfAnotherTypeEmptiesWhatWasLoaded) {
    PatchContent content = PatchOf(patch::ptProgram);
    content.kinds = {{patch::pntBill, "单据说明"}};
    const std::string other = MakePatch("Other.exe", content);
    Params().PatchType = patch::ptInstance;
    Params().PatchFileName = (dir_ / "Patch.exe").string();
    auto page = Enter<TPatchBuildFrm>();
    user_.Paths = {other};
    QTest::mouseClick(page->btnOpenPatch, Qt::LeftButton);
    EXPECT_EQ(user_.Texts(Kind::Confirm), Texts{"打开原有补丁文件会清除您目前的设置，确定加载吗？"});
    EXPECT_EQ(user_.Texts(Kind::OpenFile), Texts{"程序补丁(*.exe)|*.exe"});
    EXPECT_EQ(user_.Texts(Kind::Notice), Texts{"该文件补丁类型不匹配，请确认"});
    EXPECT_EQ(manager_->ResItems().Count(), 0u);
    EXPECT_TRUE(manager_->InstResItems().AllEmpty());
    EXPECT_EQ(Text(page->edtName), "Patch.exe");

    // Of the same type it becomes the patch being edited.
    Params().PatchType = patch::ptProgram;
    user_.Calls.clear();
    user_.Paths = {other};
    QTest::mouseClick(page->btnOpenPatch, Qt::LeftButton);
    EXPECT_EQ(user_.Texts(Kind::Notice), Texts{});
    EXPECT_EQ(Params().PatchFileName, other);
    EXPECT_EQ(Text(page->edtName), "Other.exe");
    EXPECT_EQ(Text(page->edtDir), dir_.string() + "/");
    ASSERT_EQ(manager_->ResItems().Count(), 1u);
    EXPECT_EQ(manager_->ResItems().Item(0).Name, "a.exe");

    // Declined: nothing is asked for and nothing changes.
    user_.Calls.clear();
    user_.Answers = {false};
    QTest::mouseClick(page->btnOpenPatch, Qt::LeftButton);
    EXPECT_EQ(user_.Calls.size(), 1u);
    EXPECT_EQ(manager_->ResItems().Count(), 1u);
}

TEST_F(MakerWindowPagesTest, ImportedVersionFileIsSummarisedOrRefused) {
    auto write = [&](const std::string& name, const std::string& xml) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path) << xml;
        return path;
    };
    const std::string program =
        "<program><newVersion><tag>9.0</tag><name>九</name></newVersion><versions><v><tag>8.0</tag>"
        "<name>八</name></v><v><tag>8.5</tag><name>八点五</name></v></versions></program>";
    const std::string good = write("good.xml", "<patch><type>1</type>" + program + "</patch>");
    const std::string other = write("other.xml", "<patch><type>2</type></patch>");
    const std::string bad = write("bad.xml", "<patch><type>1</type>");
    Params().PatchType = patch::ptProgram;
    auto page = Enter<TPatchBuildFrm>();
    user_.Paths = {good};
    QTest::mouseClick(page->btnImportVersion, Qt::LeftButton);
    for (const std::string& error : user_.Texts(Kind::Error))
        if (error.find("not available in this build") != std::string::npos) GTEST_SKIP() << error;
    EXPECT_EQ(user_.Texts(Kind::OpenFile), Texts{"版本号文件(*.xml)|*.xml"});
    const std::string summary =
        "该补丁版本信息：\n    升级版本：\n      （程序）9.0—九\n    适用版本：\n      "
        "（程序）8.0—八;8.5—八点五";
    EXPECT_EQ(Text(page->lbVersionInfo), summary);
    ASSERT_NE(manager_->ResItems().FindByOptType(patch::otVersion), nullptr);
    EXPECT_EQ(manager_->ResItems().FindByOptType(patch::otVersion)->Name, "good.xml");

    // Refused files leave the imported one and its summary in place.
    for (const auto& [file, refusal] :
         {std::pair{other, "版本文件补丁类型不匹配，请确认"}, std::pair{bad, "版本文件格式不正确，请确认"}}) {
        user_.Calls.clear();
        user_.Paths = {file};
        QTest::mouseClick(page->btnImportVersion, Qt::LeftButton);
        EXPECT_EQ(user_.Texts(Kind::Notice), Texts{refusal});
        EXPECT_EQ(Text(page->lbVersionInfo), summary);
        EXPECT_EQ(manager_->ResItems().FindByOptType(patch::otVersion)->Name, "good.xml");
    }
}

}  // namespace
}  // namespace kestrane::gui::testing
