// The installer's folder and organisation-unit pages on a real site, and the installer's whole wizard
// without a window.
#include "app/install_pages.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/inst_select_model.h"
#include "db/connect.h"
#include "install_fixture.h"

namespace kestrane::app {
namespace {

namespace fs = std::filesystem;
using Kind = TScriptedInteraction::Kind;

class InstallPagesTest : public InstallFixture {
  protected:
    void SetUp() override {
        InstallFixture::SetUp();
        MakeSite();
        for (const char* set : {"TGT01", "TGT02"})
            testing::ExecAll(SiteSet(set), {"insert into Sys_OrgUnit values (3, '010101', '出纳组')",
                                            "insert into Sys_OrgUnit values (4, '02', 'O''Neil分部')"});
    }
    // A manager on the site whose pages are driven by hand.
    std::unique_ptr<TManager> NewManager() {
        PutText("prog/Kestrane.exe", "MZ stand-in program\n");
        auto m = std::make_unique<TManager>(ui_, Sub("prog") + "/Kestrane.exe", "", &system_);
        m->ParamInfo().RunMode = patch::rmInstaller;
        return m;
    }
    // The organisation-unit page over both account sets of the site, selected.
    patch::TBaseParamInfo& OrgPageOverBoth() {
        manager_ = NewManager();
        auto& params = manager_->ParamInfo();
        params.Instances[0].Selected = params.Instances[1].Selected = true;
        page_.Manager = manager_.get();
        return params;
    }
    template <class Page>
    Page& Current(TManager& manager) {
        auto* page = dynamic_cast<Page*>(manager.CurrentPage());
        if (!page) throw std::logic_error("not on the expected page");
        return *page;
    }

    std::unique_ptr<TManager> manager_;
    TInstallInitModel page_;
};

TEST_F(InstallPagesTest, FolderPageRefusesWhatIsNoFolderAndListsTheInstallationItIsGiven) {
    PutText("etc/registry.reg", "REGEDIT4\r\n");
    auto m = NewManager();
    TInstallDirSetModel page;
    page.Manager = m.get();
    EXPECT_FALSE(page.CanShow());
    EXPECT_EQ(
        page.lbDescrip,
        "点击“继续”进入下一步，点击“返回”回退到上一步设置\r\n如果您要更改安装路径，请直接录入或者点击“浏览”");
    auto& params = m->ParamInfo();
    page.EnterPage(params);
    EXPECT_EQ(page.edtDir, "");
    const struct {
        std::string dir, notice;
    } refused[] = {{"", "请输入或者选择源程序安装路径"}, {Dir() + "gone", "您输入的路径不存在，请确认"}};
    for (const auto& r : refused) {
        page.edtDir = r.dir;
        EXPECT_FALSE(page.LeavePage(params));
        EXPECT_EQ(ui_.Calls.back().text, r.notice);
        EXPECT_EQ(ui_.Calls.back().owner, TBoxOwner::CurrentPage);
    }
    EXPECT_EQ(params.InstallPath, "");
    EXPECT_TRUE(params.Instances.empty());

    // Typed without its delimiter, stored with one; the pages that follow offer its account sets.
    page.edtDir = Dir() + "site";
    EXPECT_TRUE(page.LeavePage(params));
    EXPECT_EQ(params.InstallPath, Site());
    ASSERT_EQ(params.Instances.size(), 2u);
    EXPECT_EQ(params.Instances[1].DBName, "TGT02");
    page.EnterPage(params);
    EXPECT_EQ(page.edtDir, Site());

    // Browsing starts at the folder part of the text and takes the choice.
    page.edtDir = Site() + "sets";
    ui_.Paths = {Site() + "sets"};
    EXPECT_TRUE(page.btnBrowseClick());
    EXPECT_EQ(ui_.Calls.back().kind, Kind::Folder);
    EXPECT_EQ(ui_.Calls.back().text, "选择安装路径");
    EXPECT_EQ(page.edtDir, Site() + "sets");
    ui_.Answers = {false};
    EXPECT_FALSE(page.btnBrowseClick());
    EXPECT_EQ(page.edtDir, Site() + "sets");
}

TEST_F(InstallPagesTest, OrganisationUnitOfAnAccountSetIsFoundByIdUnitNameOrAccountName) {
    auto m = NewManager();
    testing::ExecAll(SiteSet("TGT01"), {"insert into Sys_OrgUnit values (5, '03', '目标账套1')"});
    const struct {
        const char* name;
        const char* update;
        bool found;
        TOrgUnit unit;
    } cases[] = {
        {"by id", "update Sys_Accounts set ZTOrgID = 2, ZTUnitName = 'x'", true, {2, "0101", "财务部"}},
        {"by unit name, quote and all",
         "update Sys_Accounts set ZTOrgID = 99, ZTUnitName = 'O''Neil分部'",
         true,
         {4, "02", "O'Neil分部"}},
        {"by account-set name",
         "update Sys_Accounts set ZTOrgID = null, ZTUnitName = null",
         true,
         {5, "03", "目标账套1"}},
        {"none",
         "update Sys_Accounts set ZTOrgID = 98, AccountName = 'O''Neil', ZTUnitName = '无'",
         false,
         {}},
        {"no account row", "delete from Sys_Accounts", false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ExecAll(SiteSet("TGT01"), {c.update});
        db::Connection connection(Cs(SiteSet("TGT01")));
        TOrgUnit unit;
        EXPECT_EQ(m->MatchOrgUnit(connection, unit), c.found);
        EXPECT_EQ(unit, c.found ? c.unit : TOrgUnit{});
        EXPECT_FALSE(connection.IsOpen());
    }
}

TEST_F(InstallPagesTest, RowsAreBuiltOnceKeptAndPlacedAgainOnEveryVisit) {
    testing::ExecAll(SiteSet("TGT01"), {"update Sys_Accounts set ZTOrgID = 2"});
    auto& params = OrgPageOverBoth();
    TInstallInitModel& page = page_;
    page.EnterPage(params);
    EXPECT_EQ(page.lbTitle, "确定账套组织机构");
    EXPECT_EQ(page.lbText, "请选择您系统账套的组织机构");
    ASSERT_EQ(page.Rows.size(), 2u);
    const TOrgUnitRow& first = page.Rows[0];
    EXPECT_EQ(first.Label.Caption, "【目标账套1】帐套组织机构：");
    // 27 bytes of the caption in the Chinese code page, 12 pixels each.
    EXPECT_EQ(first.Label.Bounds, (TControlBounds{22, 13, 324, 12}));
    EXPECT_EQ(first.Combo.Bounds, (TControlBounds{22, 32, 433, 20}));
    EXPECT_EQ(page.Rows[1].Combo.Bounds, (TControlBounds{22, 72, 433, 20}));
    // Indented by the depth of the code: one blank per length of the first code.
    EXPECT_EQ(first.Combo.Items,
              (Texts{"01  总部", "  0101  财务部", "   010101  出纳组", " 02  O'Neil分部"}));
    EXPECT_EQ(first.Combo.ItemIndex, 1);
    ASSERT_TRUE(first.Unit.has_value());
    EXPECT_EQ(first.Unit->StdName, "财务部");
    EXPECT_EQ(page.Rows[1].Combo.ItemIndex, -1);  // nothing it names
    EXPECT_FALSE(page.Rows[1].Unit.has_value());

    // Back, the first deselected, forward again: its row is hidden, the other moves up and keeps the
    // user's choice.
    page.Rows[1].Combo.ItemIndex = 3;
    params.Instances[0].Selected = false;
    page.EnterPage(params);
    ASSERT_EQ(page.Rows.size(), 2u);
    EXPECT_FALSE(page.Rows[0].Label.Visible);
    EXPECT_FALSE(page.Rows[0].Combo.Visible);
    EXPECT_TRUE(page.Rows[1].Combo.Visible);
    EXPECT_EQ(page.Rows[1].Label.Bounds.Top, 13);
    EXPECT_EQ(page.Rows[1].Combo.Bounds.Top, 32);
    EXPECT_EQ(page.Rows[1].Combo.ItemIndex, 3);
    params.Instances[0].Selected = true;
    page.EnterPage(params);
    EXPECT_TRUE(page.Rows[0].Combo.Visible);
    EXPECT_EQ(page.Rows[1].Combo.Bounds.Top, 72);
}

TEST_F(InstallPagesTest, LeavingAsksForEveryMissingUnitThenConfirmsAndWritesTheAccountSets) {
    auto& params = OrgPageOverBoth();
    TInstallInitModel& page = page_;
    page.EnterPage(params);
    EXPECT_FALSE(page.LeavePage(params));
    EXPECT_EQ(
        ui_.Texts(Kind::Notice),
        Texts{
            "下列帐套未选择组织机构，请选择：\r\n    \r\n【目标账套1】帐套组织机构：未选择组织机构，请选择！"
            "\r\n【目标账套2】帐套组织机构：未选择组织机构，请选择！"});

    page.Rows[0].Combo.ItemIndex = 1;
    page.Rows[1].Combo.ItemIndex = 3;
    ui_.Answers = {false};
    EXPECT_FALSE(page.LeavePage(params));
    EXPECT_EQ(ui_.Texts(Kind::Confirm),
              Texts{"您是否确定如下选择：\r\n    【目标账套1】帐套组织机构：财务部\r\n    "
                    "【目标账套2】帐套组织机构：O'Neil分部"});
    EXPECT_EQ(Rows(SiteSet("TGT02"), "select ZTOrgID from Sys_Accounts"), Texts{""});

    EXPECT_TRUE(page.LeavePage(params));
    EXPECT_EQ(Rows(SiteSet("TGT01"), "select ZTOrgID, ZTUnitName from Sys_Accounts"), Texts{"2|财务部"});
    EXPECT_EQ(Rows(SiteSet("TGT02"), "select ZTOrgID, ZTUnitName from Sys_Accounts"), Texts{"4|O'Neil分部"});

    // A deselected account set's hidden row is neither asked for nor written.
    testing::ExecAll(SiteSet("TGT01"), {"update Sys_Accounts set ZTOrgID = null"});
    page.Rows[0].Combo.ItemIndex = -1;
    params.Instances[0].Selected = false;
    page.EnterPage(params);
    EXPECT_TRUE(page.LeavePage(params));
    EXPECT_EQ(Rows(SiteSet("TGT01"), "select ZTOrgID from Sys_Accounts"), Texts{""});
}

TEST_F(InstallPagesTest, AccountSetsOfOneNameOnTwoServersGetRowsOfTheirOwn) {
    const std::string other = Sub("site/sets2");
    MakeAccountSet(other, "TGT01", "另一账套", "{22222222-2222-3333-4444-555555555555}");
    testing::ExecAll(
        other + "/TGT01.mdb",
        {"alter table Sys_Accounts add ZTOrgID LONG", "alter table Sys_Accounts add ZTUnitName varchar(50)",
         "create table Sys_OrgUnit (RwID LONG, StdCode varchar(20), StdName varchar(50))",
         "insert into Sys_OrgUnit values (7, 'A1', '分公司')"});
    auto m = NewManager();
    auto& params = m->ParamInfo();
    support::TInstanceRec twin = params.Instances[0];
    twin.AccountName = "另一账套";
    twin.DBInfo.Server = other;
    params.Instances = {params.Instances[0], twin};
    params.Instances[0].Selected = params.Instances[1].Selected = true;
    TInstallInitModel page;
    page.Manager = m.get();
    page.EnterPage(params);
    ASSERT_EQ(page.Rows.size(), 2u);
    EXPECT_EQ(page.RowOf(params.Instances[1]), &page.Rows[1]);
    EXPECT_EQ(page.Rows[1].Combo.Items, Texts{"A1  分公司"});
    page.Rows[0].Combo.ItemIndex = 0;
    page.Rows[1].Combo.ItemIndex = 0;
    EXPECT_TRUE(page.LeavePage(params));
    EXPECT_EQ(Rows(SiteSet("TGT01"), "select ZTOrgID from Sys_Accounts"), Texts{"1"});
    EXPECT_EQ(Rows(other + "/TGT01.mdb", "select ZTOrgID, ZTUnitName from Sys_Accounts"), Texts{"7|分公司"});
}

TEST_F(InstallPagesTest, RowWhoseListCannotBeFilledIsBuiltAgainOnTheNextVisit) {
    testing::ExecAll(SiteSet("TGT02"), {"alter table Sys_OrgUnit rename to Sys_OrgUnitOld"});
    auto& params = OrgPageOverBoth();
    TInstallInitModel& page = page_;
    EXPECT_THROW(page.EnterPage(params), std::exception);
    ASSERT_EQ(page.Rows.size(), 1u);
    EXPECT_EQ(page.Rows[0].DBName, "TGT01");

    testing::ExecAll(SiteSet("TGT02"), {"alter table Sys_OrgUnitOld rename to Sys_OrgUnit"});
    page.EnterPage(params);
    ASSERT_EQ(page.Rows.size(), 2u);
    EXPECT_EQ(page.Rows[1].Combo.Items.size(), 4u);
    EXPECT_EQ(page.Rows[1].Combo.Bounds.Top, 72);
}

TEST_F(InstallPagesTest, InstallerWizardGoesFromWelcomeThroughEveryPageToTheOutcome) {
    const std::string patchFile = BuildPatch(patch::ptBoth, [](TManager& m) { UsualContent(m); });
    NameInstallation(Site());
    TManager installer(ui_, patchFile, "", &system_);
    ASSERT_EQ(installer.PageCount(), 7);
    installer.Start();
    installer.NextPage();
    // The folder of the registry is taken, the database page has servers: the account sets show.
    auto& select = Current<TInstSelectModel>(installer);
    EXPECT_EQ(installer.PageIndex(), 3);
    ASSERT_EQ(select.lvInstance.size(), 2u);
    select.lvInstance[1].Checked = true;
    installer.NextPage();
    auto& org = Current<TInstallInitModel>(installer);
    ASSERT_EQ(org.Rows.size(), 1u);
    org.Rows[0].Combo.ItemIndex = 0;
    installer.NextPage();
    EXPECT_EQ(installer.Stage(), wsAction);
    EXPECT_EQ(Rows(SiteSet("TGT02"), "select ZTOrgID, ZTUnitName from Sys_Accounts"), Texts{"1|总部"});

    EXPECT_TRUE(installer.RunAction());
    EXPECT_EQ(installer.Stage(), wsFinish);
    EXPECT_EQ(installer.ParamInfo().ResultFlags, patch::rfCompleted);
    EXPECT_EQ(Rows(SiteSet("TGT02"), "select ZTVersion from Sys_Accounts"), Texts{"8.2"});
    EXPECT_EQ(Rows(SiteSet("TGT01"), "select ZTVersion from Sys_Accounts"), Texts{"8.1"});
}

}  // namespace
}  // namespace kestrane::app
