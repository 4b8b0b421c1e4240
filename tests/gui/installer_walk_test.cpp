// The installer in its window from the welcome page to the finish page: a patch made by kestrane-cli
// build from a maker's installation is installed into a second installation, and what the install
// wrote is read back with SQLite itself; a step made to fail gives the failure page with its detail
// log and leaves the account set as it was.
#include <QApplication>
#include <filesystem>
#include <fstream>

#include "../app/install_site.h"
#include "app/manager.h"
#include "db/fault_injection.h"
#include "e2e/cli_run.h"
#include "e2e/sqlite_query.h"
#include "gui/finish_frm.h"
#include "gui/install_init_frame.h"
#include "gui/installer_pages.h"
#include "gui/log_msg_form.h"
#include "gui/progress_frm.h"
#include "installation.h"
#include "patch/param_info.h"
#include "support/codepage.h"
#include "widget_driver.h"
#include "wizard_fixture.h"

namespace kestrane::gui::testing {
namespace {

namespace fs = std::filesystem;
using kestrane::testing::ExecAll;
using kestrane::testing::Query;
using kestrane::testing::Slurp;
using kestrane::testing::Snapshot;
using Kind = app::TScriptedInteraction::Kind;

// The maker's account set has moved on: a renamed bill, a new customer, a table the site has with other
// rows and a view with one more column. The patch carries those, a program file and a script.
const char kManifest[] = R"({
  "patchType": "both", "notCheckVersion": false, "notUpdateVersion": false, "notBackup": false,
  "output": "../out/升级补丁", "versionFile": "version.xml", "description": "客户地区与新采购单",
  "files": [{"path": "Lumo.exe", "relPath": "Bin"}],
  "source": "SRC01",
  "content": [
    {"kind": "bill", "tag": "1429"},
    {"kind": "table", "tag": "BD_Customer", "Text": " and Region = 'N'"},
    {"kind": "table", "tag": "BD_Region"},
    {"kind": "view", "tag": "V_Customer"},
    {"kind": "script", "caption": "补全地区", "Text": "update BD_Customer set Region = 'S' where Region is null"}
  ]
})";

constexpr char kProgram[] = "MZ the product's program R2.3";

void Write(const fs::path& file, const std::string& content) {
    std::ofstream(file, std::ios::binary) << content;
}

class InstallerWalkTest : public WizardTest {
  protected:
    void SetUp() override {
        WizardTest::SetUp();
        RegisterInstallerPages();
        MakePatchFromTheMaker();
        if (HasFatalFailure()) return;
        kestrane::testing::MakeSite(Folder().string() + "/");
        RegisterInstallation(dir_ / "site.reg", Folder());
    }
    void TearDown() override {
        form_.reset();
        RegisterInstallerPages(false);
        WizardTest::TearDown();
    }

    void MakePatchFromTheMaker() {
        const Installation maker = MakeInstallation(dir_ / "maker", {{"SRC01", "源账套"}});
        ExecAll(maker.AccountSetFile("SRC01"),
                {"update JC_BillFormat set BillName = '采购单（新版）' where RwID = 1429",
                 "insert into BD_Customer values (4, '丁', 'N')",
                 "create table BD_Region (Code varchar(10), Name varchar(20))",
                 "insert into BD_Region values ('N', '华北')", "insert into BD_Region values ('S', '华南')",
                 "drop view V_Customer",
                 "create view V_Customer as select ID, Name, Region from BD_Customer where Region = 'N'"});
        const fs::path in = dir_ / "build";
        fs::create_directories(in);
        fs::create_directories(dir_ / "out");
        Write(in / "manifest.json", kManifest);
        Write(in / "version.xml", kestrane::testing::kInstallDescriptor);
        Write(in / "Lumo.exe", kProgram);
        Write(in / "Kestrane.exe", "MZ stand-in program");
        const kestrane::testing::CliRun built = kestrane::testing::RunCli(
            {"build", (in / "manifest.json").string(), "--program", (in / "Kestrane.exe").string()},
            in.string() + "/");
        ASSERT_EQ(built.status, 0) << built.err;
        patch_ = (dir_ / "out" / "升级补丁.exe").string();
        ASSERT_TRUE(fs::exists(patch_));
    }

    // From the welcome page to the action page with TGT01 chosen and given its unit.
    void WalkToTheActionPage() {
        Open(patch_);
        WalkToTheOrganisationPage({"TGT01", "TGT02"}, {"TGT01"});
        if (HasFatalFailure()) return;

        // The account set names no unit of its own: one must be chosen.
        auto& units = Front<TInstallInitFrame>();
        ASSERT_EQ(units.ComboByAccountSet.size(), 1u);
        QComboBox* list0 = units.ComboByAccountSet[0];
        EXPECT_EQ(list0->currentIndex(), -1);
        Click(form_->btnNext);
        EXPECT_EQ(user_.Texts(Kind::Notice),
                  Texts{"下列帐套未选择组织机构，请选择：\r\n    "
                        "\r\n【目标账套1】帐套组织机构：未选择组织机构，请选择！"});
        list0->setCurrentIndex(list0->findText(QStringLiteral("  0101  财务部")));
        ConfirmTheOrganisationUnits("您是否确定如下选择：\r\n    【目标账套1】帐套组织机构：财务部");
    }

    fs::path Folder() const { return dir_ / "site"; }
    std::string Set(const char* DBName) const {
        return (Folder() / "sets" / (std::string(DBName) + ".mdb")).string();
    }

    std::string patch_;
};

TEST_F(InstallerWalkTest, PatchFromTheMakerInstallsThroughTheWindow) {
    WalkToTheActionPage();
    const Texts untouched = Snapshot(Set("TGT02"));
    Click(form_->btnNext);

    ASSERT_EQ(CurrentPageName(), "TFinishFrm") << ::testing::PrintToString(user_.Texts(Kind::Error));
    auto& finish = Front<TFinishFrm>();
    EXPECT_EQ(finish.lbTitle->text().toStdString(), "升级成功");
    EXPECT_EQ(finish.lbText->text().toStdString(),
              "已经成功完成补丁程序的安装，感谢您使用安装向导\n\n点击“完成”结束程序升级");
    EXPECT_TRUE(finish.btnDetail->isHidden());
    EXPECT_TRUE(finish.btnRepairDB->isHidden());
    EXPECT_EQ(VisibleButtons(), Texts{"完成(&O)"});
    EXPECT_EQ(form_->Manager->ParamInfo().ResultFlags & (patch::rfCompleted | patch::rfFailed),
              patch::rfCompleted);
    EXPECT_EQ(user_.Texts(Kind::Error), Texts{});

    // The program file in its folder; the package database is gone, the backup is kept.
    EXPECT_EQ(Slurp((Folder() / "Bin" / "Lumo.exe").string()), kProgram);
    EXPECT_FALSE(fs::exists(Folder() / "Update.mdb"));
    std::vector<fs::path> backups;
    for (const auto& entry : fs::directory_iterator(Folder() / "BackUp" / "EMBEDDED"))
        backups.push_back(entry.path());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].filename().string().rfind("目标账套1", 0), 0u) << backups[0];
    EXPECT_EQ(Query(backups[0].string(), "select BillName from JC_BillFormat where RwID = 1429"),
              Texts{"旧采购单"});

    // The account set holds what the patch says.
    const std::string set = Set("TGT01");
    EXPECT_EQ(Query(set, "select BillName from JC_BillFormat where RwID = 1429"), Texts{"采购单（新版）"});
    EXPECT_EQ(Query(set, "select ID, Name, Region from BD_Customer order by ID"),
              (Texts{"1|甲|N", "2|乙|S", "3|丙|N", "4|丁|N", "8|客户八|S"}));
    EXPECT_EQ(Query(set, "select Code, Name from BD_Region order by Code"), (Texts{"N|华北", "S|华南"}));
    EXPECT_EQ(Query(set, "select * from V_Customer order by ID"), (Texts{"1|甲|N", "3|丙|N", "4|丁|N"}));
    EXPECT_EQ(Query(set, "select ZTVersion, ZTOrgID, ZTUnitName from Sys_Accounts"), Texts{"8.2|2|财务部"});
    EXPECT_NE(Slurp((Folder() / "Update.upf").string()).find("pf_version=R2.3"), std::string::npos);
    // The account set's member took the place of the central one with its code.
    EXPECT_EQ(
        Query((Folder() / "sets" / "NXCentre.mdb").string(), "select UID from CERT_Member where Code = 'M1'"),
        Texts{std::string(31, '0') + "1"});
    // The account set not chosen is as it was.
    EXPECT_EQ(Snapshot(Set("TGT02")), untouched);

    const std::string log = Slurp((Folder() / "PatchLog.log").string());
    EXPECT_NE(log.find(support::Utf8ToCp936("升级账套“目标账套1”的“单据_JC_BillFormat”信息【成功】")),
              std::string::npos);
    EXPECT_EQ(log.find(support::Utf8ToCp936("【失败】")), std::string::npos);

    Click(form_->btnNext);
    EXPECT_TRUE(user_.QuitRequested);
}

TEST_F(InstallerWalkTest, FailingStepGivesTheFailurePageAndLeavesTheAccountSetAsItWas) {
    WalkToTheActionPage();
    // The organisation unit was written when its page was left; the install starts from here.
    const Texts before = Snapshot(Set("TGT01"));
    {
        db::ScopedFaultInjection fault;
        fault.OnConnections("TGT01").FailMatching("JC_DJBHGZ", "磁盘空间不足");
        Click(form_->btnNext);
        EXPECT_GE(fault.Failures(), 1);
    }

    ASSERT_EQ(CurrentPageName(), "TFinishFrm");
    auto& finish = Front<TFinishFrm>();
    EXPECT_EQ(finish.lbTitle->text().toStdString(), "升级失败");
    EXPECT_EQ(
        finish.lbText->text().toStdString(),
        "补丁升级过程中出现错误，请联系我们协助解决\n\n点击“详细信息”查看失败日志，点击“完成”结束程序升级");
    EXPECT_FALSE(finish.btnDetail->isHidden());
    // An embedded account set is repaired by its integrity check.
    EXPECT_FALSE(finish.btnRepairDB->isHidden());
    EXPECT_EQ(form_->Manager->ParamInfo().ResultFlags & (patch::rfCompleted | patch::rfFailed),
              patch::rfFailed);

    std::string details;
    OnNextModal([&](QWidget& modal) {
        auto* form = qobject_cast<TLogMsgForm*>(&modal);
        ASSERT_NE(form, nullptr);
        details = form->mLogDetails->toPlainText().toStdString();
        form->Button1->click();
    });
    Click(finish.btnDetail);
    EXPECT_NE(details.find("升级账套“目标账套1”的“单据_JC_DJBHGZ”信息【失败】"), std::string::npos)
        << details;
    EXPECT_NE(details.find("磁盘空间不足"), std::string::npos) << details;
    EXPECT_NE(details.find("[目标账套1]账套还原【成功】"), std::string::npos) << details;
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // Restored from its backup, versions not stamped.
    EXPECT_EQ(Snapshot(Set("TGT01")), before);
    EXPECT_NE(Slurp((Folder() / "Update.upf").string()).find("pf_version=R2.2"), std::string::npos);
    EXPECT_NE(Slurp((Folder() / "PatchLog.log").string()).find(support::Utf8ToCp936("【失败】")),
              std::string::npos);

    // The repair checks the restored account set and finds it sound; an index that lost its rows is
    // named with what the check found.
    user_.Calls.clear();
    Click(finish.btnRepairDB);
    EXPECT_EQ(user_.Texts(Kind::Notice), Texts{"修复数据库操作执行成功，请重启并执行升级工具！"});
    EXPECT_EQ(user_.Texts(Kind::Error), Texts{});
    ExecAll(Set("TGT01"), {"create table T (N integer, S text)", "insert into T values (1, 'one')",
                           "create index IX on T (S)", "pragma writable_schema=on",
                           "update sqlite_master set sql = 'CREATE INDEX IX on T (N)' where name = 'IX'"});
    user_.Calls.clear();
    Click(finish.btnRepairDB);
    EXPECT_EQ(user_.Texts(Kind::Notice), Texts{});
    const Texts errors = user_.Texts(Kind::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "数据库【" + Set("TGT01") + "】完整性检查发现错误：row 1 missing from index IX");
    EXPECT_EQ(
        finish.lbText->text().toStdString(),
        "补丁升级过程中出现错误，请联系我们协助解决\n\n点击“详细信息”查看失败日志，点击“完成”结束程序升级");
}

}  // namespace
}  // namespace kestrane::gui::testing
