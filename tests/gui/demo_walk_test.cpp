// The demo (scripts/make-demo.sh) through both windows: the maker builds a patch on the demo's maker side,
// from the welcome page through the type, the account set and the designer to the written patch, and the
// installer of that patch upgrades an account set of the demo's customer side. What arrived is read
// back with SQLite itself.
#include <QApplication>
#include <QImage>
#include <QProcess>
#include <filesystem>

#include "../app/install_site.h"
#include "app/manager.h"
#include "e2e/sqlite_query.h"
#include "gui/finish_frm.h"
#include "gui/install_init_frame.h"
#include "gui/installer_pages.h"
#include "gui/maker_pages.h"
#include "gui/patch_build_frm.h"
#include "gui/patch_design_form.h"
#include "gui/patch_type_set_frm.h"
#include "gui/progress_frm.h"
#include "gui/welcome_frm.h"
#include "patch/param_info.h"
#include "support/codepage.h"
#include "widget_driver.h"
#include "wizard_fixture.h"

namespace kestrane::gui::testing {
namespace {

namespace fs = std::filesystem;
using kestrane::testing::FolderEntries;
using kestrane::testing::Query;
using kestrane::testing::Slurp;
using kestrane::testing::Snapshot;
using Kind = app::TScriptedInteraction::Kind;

// The goods the patch ships: its filter leaves the customer's other goods as they are.
constexpr char kGoodsFilter[] = " and Category <= 6 ";
// Columns of the goods that the customer's older version has too (dates left out: a copied date may lose
// its zero milliseconds).
constexpr char kGoods[] = "GoodsID, Code, Name, Model, Category, Price, Cost, Stock, Photo, Remark, Disabled";

class DemoWalkTest : public WizardTest {
  protected:
    void SetUp() override {
        WizardTest::SetUp();
        demo_ = dir_ / "demo";
        QProcess make;
        make.start(QStringLiteral(KESTRANE_SOURCE_DIR "/scripts/make-demo.sh"),
                   {QString::fromStdString(demo_.string())});
        ASSERT_TRUE(make.waitForFinished(120000));
        ASSERT_EQ(make.exitCode(), 0) << make.readAllStandardError().toStdString();
    }
    void TearDown() override {
        form_.reset();
        RegisterMakerPages(false);
        RegisterInstallerPages(false);
        WizardTest::TearDown();
    }

    void Next() { Click(form_->btnNext); }
    fs::path Maker() const { return demo_ / "maker" / "lumo"; }
    fs::path Customer() const { return demo_ / "customer" / "lumo"; }
    std::string Source() const { return (Maker() / "sets" / "DEMO01.mdb").string(); }
    std::string Target(const char* DBName) const {
        return (Customer() / "data" / (std::string(DBName) + ".mdb")).string();
    }
    void UseRegistryOf(const char* side) {
        ::setenv("KESTRANE_REGISTRY", (demo_ / side / "registry.reg").c_str(), 1);
    }

    // In the maker's window from the welcome page to the finish page: the patch of the demo's account
    // set with two program files, the restructuring of two tables, a bill, the goods by a filter and a
    // view. Gives the patch's path.
    std::string MakeThePatch();

    fs::path demo_;
};

// The designer as the author fills it.
void Design(TPatchDesignForm& d, app::TScriptedInteraction& user, const fs::path& maker) {
    for (const char* file : {"LumoMain.exe", "LumoReport.dll"}) {
        user.Paths = {(maker / file).string()};
        Click(d.btnAddFile);
    }
    d.mPrgrmDscrpt->setPlainText("Lumo 8.2.0 程序");

    d.pcDesign->setCurrentWidget(d.tsInstance);
    // The bill format and goods tables take the new version's structure before their rows arrive.
    for (const Texts& path :
         {Texts{"重构", "JC_BillFormat"}, Texts{"重构", "BD_Goods"}, Texts{"单据", "采购订单"},
          Texts{"数据表", "BD_Goods"}, Texts{"存储过程与视图", "V_GoodsStock"}}) {
        Click(d.tvAll, path);
        Click(d.btnSelect);
    }
    Click(d.tvSelect, {"数据表", "BD_Goods"});
    d.TableFrm->mFilter->setPlainText(kGoodsFilter);
    Click(d.tvSelect, {"单据"});
    d.mDescription->setPlainText("采购订单的新格式");
    Click(d.btnOk);
}

std::string DemoWalkTest::MakeThePatch() {
    RegisterMakerPages();
    UseRegistryOf("maker");
    const fs::path out = demo_ / "out";
    form_ = std::make_unique<TMainForm>(user_, RealMaker());
    form_->show();
    QApplication::processEvents();
    EXPECT_EQ(CurrentPageName(), "TMainFrm");
    Next();
    EXPECT_EQ(CurrentPageName(), "TPatchTypeSetFrm");
    EXPECT_TRUE(Front<TPatchTypeSetFrm>().rbBoth->isChecked());
    Next();

    // The registered installation's embedded server is known, and its one account set is the source
    // without being asked for: the database and account-set pages pass by.
    const auto& instances = form_->Manager->ParamInfo().Instances;
    EXPECT_EQ(instances.size(), 1u);
    EXPECT_TRUE(!instances.empty() && instances[0].DBName == "DEMO01" && instances[0].Selected);
    EXPECT_EQ(CurrentPageName(), "TPatchBuildFrm");
    auto& build = Front<TPatchBuildFrm>();
    Type(build.edtName, "LumoPatch820");
    Type(build.edtDir, QString::fromStdString(out.string()));
    bool designed = false;
    OnNextModal([&](QWidget& modal) {
        auto* designer = qobject_cast<TPatchDesignForm*>(&modal);
        ASSERT_NE(designer, nullptr);
        designed = true;
        Design(*designer, user_, Maker());
    });
    Click(build.btnDesign);
    EXPECT_TRUE(designed);
    user_.Paths = {(demo_ / "version.xml").string()};
    Click(build.btnImportVersion);
    EXPECT_EQ(
        build.lbVersionInfo->text().toStdString(),
        "该补丁版本信息：\n    升级版本：\n      （程序）8.2.0—Lumo 8.2.0\n      （账套）8.2.0—账套 8.2.0\n"
        "    适用版本：\n      （程序）8.1.0—Lumo 8.1.0\n      （账套）8.1.0—账套 8.1.0");
    Next();

    EXPECT_EQ(CurrentPageName(), "TProgressFrm");
    EXPECT_EQ(TopLevel(Front<TProgressFrm>().tvList),
              (Texts{"程序", "重构", "单据", "数据表", "存储过程与视图"}));
    Next();
    EXPECT_EQ(CurrentPageName(), "TFinishFrm") << ::testing::PrintToString(user_.Texts(Kind::Error));
    EXPECT_EQ(user_.Texts(Kind::Notice), Texts{});
    EXPECT_EQ(user_.Texts(Kind::Error), Texts{});
    form_.reset();
    RegisterMakerPages(false);
    return (out / "LumoPatch820.exe").string();
}

TEST_F(DemoWalkTest, PatchMadeOnTheMakersSideUpgradesTheCustomersAccountSet) {
    const std::string patch = MakeThePatch();
    ASSERT_TRUE(fs::exists(patch));

    // The written patch starts as an installer of its own on the customer's side.
    const fs::path picture = dir_ / "patch.png";
    EXPECT_EQ(RunSelfCheck(patch, demo_ / "customer" / "registry.reg", picture), "installer TMainFrm\n");
    EXPECT_EQ(QImage(QString::fromStdString(picture.string())).size(), QSize(501, 354));

    // Its window on the customer's side: both kinds named, the account set without a unit given one.
    RegisterInstallerPages();
    UseRegistryOf("customer");
    user_.Calls.clear();
    const Texts untouched = Snapshot(Target("SHOP01"));
    Open(patch);
    EXPECT_NE(Front<TMainFrm>().lbText->text().toStdString().find("    ※ 程序补丁\n    ※ 账套补丁\n"),
              std::string::npos);
    WalkToTheOrganisationPage({"SHOP01", "SHOP02"}, {"SHOP02"});
    auto& units = Front<TInstallInitFrame>();
    ASSERT_EQ(units.ComboByAccountSet.size(), 1u);
    QComboBox* unit = units.ComboByAccountSet[0];
    unit->setCurrentIndex(unit->findText(QStringLiteral("  0102  华南分公司")));
    ASSERT_NE(unit->currentIndex(), -1);
    ConfirmTheOrganisationUnits("您是否确定如下选择：\r\n    【华南分公司账套】帐套组织机构：华南分公司");
    const std::string set = Target("SHOP02");
    const Texts before = Snapshot(set);
    auto& progress = Front<TProgressFrm>();
    EXPECT_EQ(TopLevel(progress.tvList), (Texts{"程序", "重构", "单据", "数据表", "存储过程与视图"}));
    progress.tvList->setCurrentItem(progress.tvList->topLevelItem(2));
    EXPECT_EQ(progress.mDescription->toPlainText().toStdString(), "采购订单的新格式");
    Next();

    ASSERT_EQ(CurrentPageName(), "TFinishFrm") << ::testing::PrintToString(user_.Texts(Kind::Error));
    EXPECT_EQ(Front<TFinishFrm>().lbTitle->text().toStdString(), "升级成功")
        << support::Cp936ToUtf8(Slurp((Customer() / "PatchLog.log").string()));
    EXPECT_EQ(form_->Manager->ParamInfo().ResultFlags & (patch::rfCompleted | patch::rfFailed),
              patch::rfCompleted);

    // The program files are the maker's; the package database is gone.
    for (const char* file : {"LumoMain.exe", "LumoReport.dll"})
        EXPECT_EQ(Slurp((Customer() / file).string()), Slurp((Maker() / file).string())) << file;
    EXPECT_FALSE(fs::exists(Customer() / "Update.mdb"));

    // The account set was backed up as it was before.
    const Texts backups = FolderEntries((Customer() / "BackUp" / "EMBEDDED").string());
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_EQ(backups[0].rfind("华南分公司账套", 0), 0u) << backups[0];
    const std::string backup = (Customer() / "BackUp" / "EMBEDDED" / backups[0]).string();
    EXPECT_EQ(Snapshot(backup), before);

    // The bill with its detail bill, as the maker has them; the bill not chosen is as it was.
    EXPECT_EQ(Query(set,
                    "select RwID, BillName, PrintStyle from JC_BillFormat where RwID in (1429, 1592, 2001) "
                    "order by RwID"),
              (Texts{"1429|采购订单|A4横向", "1592|销售单|", "2001|采购订单明细|"}));
    // The goods the filter selects are the maker's, the others the customer's own, with the new column.
    const std::string shipped = std::string("select ") + kGoods + ", BarCode from BD_Goods where 1=1" +
                                kGoodsFilter + "order by Code";
    const std::string kept =
        std::string("select ") + kGoods + " from BD_Goods where not (1=1" + kGoodsFilter + ") order by Code";
    EXPECT_EQ(Query(set, shipped), Query(Source(), shipped));
    EXPECT_EQ(Query(set, kept), Query(backup, kept));
    EXPECT_EQ(Query(set, "select count(*) from BD_Goods where Category > 6 and BarCode is null"),
              Query(backup, "select count(*) from BD_Goods where Category > 6"));
    // The view is recreated from the maker's definition and reads the goods there now.
    const char view[] = "select sql from sqlite_master where type = 'view' and name = 'V_GoodsStock'";
    ASSERT_EQ(Query(backup, view), Texts{});
    EXPECT_EQ(Query(set, view), Query(Source(), view));
    EXPECT_EQ(Query(set, "select count(*) from V_GoodsStock"),
              Query(set, "select count(*) from BD_Goods where Disabled = 0"));

    // Versions stamped, the unit written.
    EXPECT_EQ(Query(set, "select ZTVersion, ZTOrgID, ZTUnitName from Sys_Accounts"),
              Texts{"8.2.0|5|华南分公司"});
    EXPECT_NE(Slurp((Customer() / "Update.upf").string()).find("pf_version=8.2.0"), std::string::npos);

    // The account set's members took the places of the central ones they clash with, by code (zhangwei,
    // known centrally under another UID) or by UID (lina2, known centrally as lina), each with access
    // to the account set. UIDs are the GUIDs' bytes in hex, as the rights tables hold them.
    const std::string centre = (Customer() / "data" / "NXCentre.mdb").string();
    const std::string shop02 = "AF9E8D7CC1B0D34294E5F60718293A4B",
                      zhangwei = "AF9E8D7CC1B0D34294E5F60718290001",
                      lina2 = "AF9E8D7CC1B0D34294E5F60718290002",
                      replaced = "000000C000000040800000000000000A";
    EXPECT_EQ(Query(centre, "select UID, Code from CERT_Member where UID in ('" + zhangwei + "', '" + lina2 +
                                "', '" + replaced + "') order by UID"),
              (Texts{zhangwei + "|zhangwei", lina2 + "|lina2"}));
    EXPECT_EQ(Query(centre, "select UserID, ResType, ACK from CERT_ACL where ResID = '" + shop02 +
                                "' order by UserID"),
              (Texts{zhangwei + "|11|1", lina2 + "|11|1"}));
    EXPECT_EQ(Query(centre, "select UID from Cert_MLConn where UID in ('" + lina2 + "', '" + replaced + "')"),
              Texts{});

    // The account set not chosen is as it was.
    EXPECT_EQ(Snapshot(Target("SHOP01")), untouched);

    const std::string log = Slurp((Customer() / "PatchLog.log").string());
    for (const char* step : {"单据_JC_BillFormat", "数据表_BD_Goods"})
        EXPECT_NE(log.find(support::Utf8ToCp936(std::string("升级账套“华南分公司账套”的“") + step +
                                                "”信息【成功】")),
                  std::string::npos)
            << step;
    EXPECT_EQ(log.find(support::Utf8ToCp936("【失败】")), std::string::npos);

    Next();
    EXPECT_TRUE(user_.QuitRequested);
}

}  // namespace
}  // namespace kestrane::gui::testing
