// The maker in its window from the welcome page to a written patch on an embedded installation made in
// the test, the patch opening as an installer, and a Cancel confirmed in the middle of a build.
#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "../app/source_account_set.h"
#include "app/maker_pages.h"
#include "app/manager.h"
#include "common/query_rows.h"
#include "db/connection.h"
#include "gui/inst_select_frm.h"
#include "gui/maker_pages.h"
#include "gui/patch_build_frm.h"
#include "gui/patch_design_form.h"
#include "gui/patch_type_set_frm.h"
#include "gui/progress_frm.h"
#include "gui/qt_interaction.h"
#include "gui/welcome_frm.h"
#include "installation.h"
#include "patch/param_info.h"
#include "platform/file_system.h"
#include "widget_driver.h"
#include "wizard_fixture.h"

namespace kestrane::gui::testing {
namespace {

namespace fs = std::filesystem;
using Kind = app::TScriptedInteraction::Kind;

const char kVersionXml[] =
    "<patch><type>3</type><patchNo>P82</patchNo><patchName>八点二</patchName>"
    "<program><newVersion><tag>8.2.0</tag><name>Lumo 8.2</name></newVersion>"
    "<versions><v><tag>8.1.0</tag><name>Lumo 8.1</name></v></versions></program>"
    "<instance><newVersion><tag>8.2.0</tag><name>账套8.2</name></newVersion>"
    "<versions><v><tag>8.1.0</tag><name>账套8.1</name></v></versions></instance></patch>";

class MakerWalkTest : public WizardTest {
  protected:
    void SetUp() override {
        WizardTest::SetUp();
        RegisterMakerPages();
        install_ = MakeInstallation(dir_, {{"DEMO01", "演示一"}, {"DEMO02", "演示二"}});
    }
    void TearDown() override {
        form_.reset();
        RegisterMakerPages(false);
        WizardTest::TearDown();
    }
    std::string File(const std::string& name, const std::string& content) {
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    void Next() { Click(form_->btnNext); }

    Installation install_;
};

// The rows of a query on the data file a patch carries, each as its values joined by "|".
Texts Rows(const patch::TResItem& dataFile, const std::string& copy, const std::string& sql) {
    platform::WriteFileReplacing(
        copy, std::vector<std::uint8_t>(dataFile.MemStream.begin(), dataFile.MemStream.end()));
    return kestrane::testing::QueryRows(copy, sql);
}

// The designer as an author fills it: a program file, a bill, a filtered table, a script of their own,
// a description and a memory requirement.
void Design(TPatchDesignForm& d, app::TScriptedInteraction& user, const std::string& program) {
    user.Paths = {program};
    Click(d.btnAddFile);
    Type(d.edtPath, "Bin");
    d.mPrgrmDscrpt->setPlainText("修正报表打印");

    d.pcDesign->setCurrentWidget(d.tsInstance);
    Click(d.tvAll, {"单据", "采购单"});
    Click(d.btnSelect);
    Click(d.tvAll, {"数据表", "BD_Customer"});
    Click(d.btnSelect);
    Click(d.tvSelect, {"数据表", "BD_Customer"});
    d.TableFrm->mFilter->setPlainText(" and Region = 'N' ");
    Click(d.tvSelect, {"单据"});
    d.mDescription->setPlainText("新增采购单");
    Click(d.tvSelect, {"脚本"});
    Type(d.edtScriptName, "补全地区");
    Click(d.btnAddScript);
    d.ScriptFrm->mMsSQL->setPlainText("update BD_Customer set Region = 'S' where Region is null");

    d.pcDesign->setCurrentWidget(d.tsConfig);
    Type(d.FreeMemMB_Edt, "64");
    Click(d.btnOk);
}

TEST_F(MakerWalkTest, FromWelcomeToAWrittenPatchThatInstalls) {
    const std::string versionFile = File("version.xml", kVersionXml);
    const std::string program = File("Lumo.exe", "MZ the product's program");
    const fs::path out = dir_ / "out";
    fs::create_directories(out);

    form_ = std::make_unique<TMainForm>(user_, RealMaker());
    form_->show();
    QApplication::processEvents();
    ASSERT_EQ(CurrentPageName(), "TMainFrm");
    Next();

    ASSERT_EQ(CurrentPageName(), "TPatchTypeSetFrm");
    auto& type = Front<TPatchTypeSetFrm>();
    EXPECT_TRUE(type.rbBoth->isChecked());
    Next();

    // The server is known, so the database page is passed over; the source is ticked here.
    ASSERT_EQ(CurrentPageName(), "TInstSelectFrm");
    EXPECT_EQ(form_->Manager->PageCount(), 7);
    auto& select = Front<TInstSelectFrm>();
    ASSERT_EQ(select.lvInstance->topLevelItemCount(), 2);
    Click(select.tbSelAll);
    Next();
    EXPECT_EQ(user_.Texts(Kind::Notice), Texts{"不允许同时选择多个账套"});
    EXPECT_EQ(CurrentPageName(), "TInstSelectFrm");
    Click(select.tbClrAll);
    select.lvInstance->topLevelItem(0)->setCheckState(0, Qt::Checked);
    Next();

    ASSERT_EQ(CurrentPageName(), "TPatchBuildFrm");
    auto& build = Front<TPatchBuildFrm>();
    EXPECT_EQ(build.edtName->text().toStdString(), "Patch.exe");
    Type(build.edtName, "升级补丁");
    Type(build.edtDir, QString::fromStdString(out.string()));
    user_.Calls.clear();
    Next();
    EXPECT_EQ(user_.Texts(Kind::Notice), Texts{"请添加版本文件"});

    bool designed = false;
    OnNextModal([&](QWidget& modal) {
        auto* designer = qobject_cast<TPatchDesignForm*>(&modal);
        ASSERT_NE(designer, nullptr);
        designed = true;
        Design(*designer, user_, program);
    });
    Click(build.btnDesign);
    ASSERT_TRUE(designed);
    EXPECT_EQ(form_->Manager->ResItems().FindByName("Lumo.exe")->RelPath, "Bin");

    user_.Paths = {versionFile};
    Click(build.btnImportVersion);
    EXPECT_EQ(build.lbVersionInfo->text().toStdString(),
              "该补丁版本信息：\n    升级版本：\n      （程序）8.2.0—Lumo 8.2\n      （账套）8.2.0—账套8.2\n"
              "    适用版本：\n      （程序）8.1.0—Lumo 8.1\n      （账套）8.1.0—账套8.1");
    user_.Calls.clear();
    Next();
    EXPECT_EQ(user_.Texts(Kind::Notice), Texts{});

    ASSERT_EQ(CurrentPageName(), "TProgressFrm");
    EXPECT_EQ(form_->btnNext->text().toStdString(), "生成(&B)");
    EXPECT_EQ(TopLevel(Front<TProgressFrm>().tvList), (Texts{"程序", "单据", "数据表", "脚本"}));
    Next();
    ASSERT_EQ(CurrentPageName(), "TFinishFrm") << ::testing::PrintToString(user_.Texts(Kind::Error));
    const std::string patchFile = (out / "升级补丁.exe").string();
    EXPECT_TRUE(fs::exists(patchFile));
    EXPECT_EQ(form_->Manager->ParamInfo().PatchFileName, patchFile);
    form_.reset();

    // What the patch carries, read back as the installer reads it.
    app::TScriptedInteraction installerUser;
    app::TManager installer(installerUser, patchFile);
    ASSERT_TRUE(installer.IsInstaller());
    EXPECT_EQ(installer.ParamInfo().PatchType, patch::ptBoth);
    EXPECT_EQ(installer.ParamInfo().NeedFreeMemMB, 64);
    const patch::TResCollection& files = installer.ResItems();
    EXPECT_EQ(files.Description, "修正报表打印");
    ASSERT_NE(files.FindByName("Lumo.exe"), nullptr);
    EXPECT_EQ(files.FindByName("Lumo.exe")->RelPath, "Bin");
    const patch::TResItem* data = files.FindByName("Update.mdb");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->OptType, patch::otProgram);
    EXPECT_NE(files.FindByOptType(patch::otVersion), nullptr);
    const patch::TInstResCollection& items = installer.InstResItems();
    EXPECT_EQ(items.FindByNodeType(patch::pntBill)->Description, "新增采购单");
    EXPECT_EQ(items.FindByNodeType(patch::pntBill)->Node(0).Tag, "1429");
    EXPECT_EQ(items.FindByNodeType(patch::pntTable)->Node(0).Text, " and Region = 'N' ");
    EXPECT_EQ(items.FindByNodeType(patch::pntScript)->Node(0).Caption, "补全地区");
    // The data file holds the source's rows each filter selects.
    const std::string copy = (dir_ / "carried.mdb").string();
    EXPECT_EQ(Rows(*data, copy, "select RwID from JC_BillFormat order by RwID"), (Texts{"1429", "2000"}));
    EXPECT_EQ(Rows(*data, copy, "select Name from BD_Customer order by ID"), (Texts{"甲", "丙"}));

    // The written patch is an installer of its own: the built program started under its name.
    const fs::path picture = dir_ / "patch.png";
    EXPECT_EQ(RunSelfCheck(patchFile, install_.Registry, picture), "installer TMainFrm\n");
    EXPECT_EQ(QImage(QString::fromStdString(picture.string())).size(), QSize(501, 354));

    // In its window it names both kinds and lists what it carries.
    form_ = std::make_unique<TMainForm>(installerUser, patchFile);
    form_->show();
    QApplication::processEvents();
    ASSERT_EQ(CurrentPageName(), "TMainFrm");
    EXPECT_NE(Front<TMainFrm>().lbText->text().toStdString().find("    ※ 程序补丁\n    ※ 账套补丁\n"),
              std::string::npos);
    form_->Manager->ShowPage(form_->Manager->PageCount() - 2);
    ASSERT_EQ(CurrentPageName(), "TProgressFrm");
    auto& progress = Front<TProgressFrm>();
    EXPECT_EQ(TopLevel(progress.tvList), (Texts{"程序", "单据", "数据表", "脚本"}));
    progress.tvList->setCurrentItem(progress.tvList->topLevelItem(1));
    EXPECT_EQ(progress.mDescription->toPlainText().toStdString(), "新增采购单");
}

// Runs `act` on each message box that opens while the event loop turns, until `done` says so or the
// time is up.
class BoxWatcher {
  public:
    explicit BoxWatcher(std::function<bool(QMessageBox&)> act) : act_(std::move(act)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget()))
                if (act_(*box)) timer_.stop();
        });
        timer_.start(10);
    }

  private:
    QTimer timer_;
    std::function<bool(QMessageBox&)> act_;
};

void Press(QMessageBox& box, const char* caption) {
    for (QAbstractButton* button : box.buttons())
        if (button->text().toStdString() == caption) button->click();
}

TEST_F(MakerWalkTest, CancelConfirmedDuringTheBuildEndsTheProgramAfterIt) {
    TQtInteraction user;
    form_ = std::make_unique<TMainForm>(user, MakeMaker());
    app::TManager& manager = *form_->Manager;
    auto& params = manager.ParamInfo();
    params.PatchType = patch::ptInstance;
    params.PatchFileName = (dir_ / "Patch.exe").string();
    params.Instances[0].Selected = true;
    // The second table is missing: the gathering reports the first, then fails.
    patch::TInstResItem& tables = *manager.InstResItems().FindByNodeType(patch::pntTable);
    patch::NewNodeTableItem(tables, {"BD_Customer", "BD_Customer", "", "", patch::pntTable},
                            support::dbtMsSql);
    patch::NewNodeTableItem(tables, {"不存在", "NO_SUCH_TABLE", "", "", patch::pntTable}, support::dbtMsSql);
    manager.BuildPageList(params);
    form_->show();
    QApplication::processEvents();
    manager.ShowPage(manager.PageCount() - 2);
    ASSERT_EQ(form_->Stage, app::wsAction);

    // Cancel is pressed when the run first lets the window work; its question is answered OK. The
    // failure shown afterwards must wait for the user: it stays up for a while before it is closed.
    Texts boxes;
    int errorTicks = 0;
    const BoxWatcher watcher([&](QMessageBox& box) {
        const std::string text = box.text().toStdString();
        if (boxes.empty() || boxes.back() != text) boxes.push_back(text);
        if (text == "升级补丁制作尚未完成，确定取消生成吗？") {
            Press(box, "确定");
            return false;
        }
        if (++errorTicks < 20) return false;
        Press(box, "确定");
        return true;
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] {
        ADD_FAILURE() << "the program did not end";
        QCoreApplication::exit(1);
    });
    watchdog.start(60000);
    QTimer::singleShot(0, [&] {
        QTimer::singleShot(0, [&] { Click(form_->btnCancel); });
        Click(form_->btnNext);
    });
    EXPECT_EQ(QApplication::exec(), 0);
    ASSERT_EQ(boxes.size(), 2u) << ::testing::PrintToString(boxes);
    EXPECT_EQ(boxes[0], "升级补丁制作尚未完成，确定取消生成吗？");
    EXPECT_NE(boxes[1].find("NO_SUCH_TABLE"), std::string::npos) << boxes[1];
    EXPECT_GE(errorTicks, 20);
    EXPECT_TRUE(user.QuitRequested());
    // The run was over before the program ended: the buttons are back and the data file is gone.
    EXPECT_TRUE(form_->btnNext->isEnabled());
    EXPECT_EQ(CurrentPageName(), "TProgressFrm");
    EXPECT_FALSE(fs::exists(params.ProgramDir + "Update.mdb"));
}

}  // namespace
}  // namespace kestrane::gui::testing
