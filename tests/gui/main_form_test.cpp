// The main window: its geometry, the stages and captions of both run modes, the action stage, Cancel
// and the failures at start-up.
#include <QApplication>
#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "gui/finish_frm.h"
#include "gui/progress_frm.h"
#include "gui/welcome_frm.h"
#include "patch/param_info.h"
#include "wizard_fixture.h"

namespace kestrane::gui::testing {
namespace {

using Kind = app::TScriptedInteraction::Kind;
using Buttons = std::vector<std::string>;

const std::string kBack = "〈 返回(&B)";
const std::string kCancel = "取消(&C)";

TEST_F(WizardTest, WindowGeometryAndButtonRules) {
    TMainForm& form = Open(MakeMaker());
    EXPECT_EQ(form.size(), QSize(501, 354));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    EXPECT_EQ(form.pnButtons->geometry(), QRect(0, 314, 501, 40));
    EXPECT_EQ(form.bvLine->geometry(), QRect(0, 0, 501, 2));
    EXPECT_EQ(form.btnPre->geometry(), QRect(251, 10, 75, 21));
    EXPECT_EQ(form.btnNext->geometry(), QRect(335, 10, 75, 21));
    EXPECT_EQ(form.btnCancel->geometry(), QRect(418, 10, 75, 21));
    EXPECT_EQ(form.FrontPage()->geometry(), QRect(0, 0, 501, 314));
    EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form.windowFlags() & Qt::WindowMinimizeButtonHint);

    // Tab reaches Next only.
    EXPECT_TRUE(form.btnNext->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(form.btnPre->focusPolicy() & Qt::TabFocus);
    EXPECT_FALSE(form.btnCancel->focusPolicy() & Qt::TabFocus);

    // Anchored to the right edge of the panel.
    form.pnButtons->resize(601, 40);
    EXPECT_EQ(form.btnPre->x(), 351);
    EXPECT_EQ(form.btnNext->x(), 435);
    EXPECT_EQ(form.btnCancel->x(), 518);
}

TEST_F(WizardTest, CaptionsAndTitleFromTheExecutableName) {
    struct Case {
        std::string file, title, caption;
    };
    for (const Case& c :
         {Case{"Kestrane.exe", "Kestrane", "Lumo系统补丁制作工具"}, Case{"Patch.EXE", "Patch", "补丁安装"},
          Case{"kestrane.exe", "kestrane", "补丁安装"}, Case{"Fix.exe.exe", "Fix.exe", "补丁安装"},
          Case{"setup", "setup", "补丁安装"}}) {
        const std::string path = c.file == "Kestrane.exe" ? MakeMaker() : MakePatch(c.file, {});
        TMainForm& form = Open(path);
        EXPECT_EQ(QCoreApplication::applicationName().toStdString(), c.title) << c.file;
        EXPECT_EQ(form.windowTitle().toStdString(), c.caption) << c.file;
    }
}

TEST_F(WizardTest, MakerStagesFromWelcomeToFinish) {
    RegisterStandIns({"TPatchTypeSetFrm", "TPatchBuildFrm"});
    StandIn("TPatchTypeSetFrm").chooseType = patch::ptProgram;
    TMainForm& form = Open(MakeMaker());
    auto& params = form.Manager->ParamInfo();
    params.PatchFileName = (dir_ / "Out.exe").string();

    struct Step {
        std::string page;
        app::TWizardStage stage;
        Buttons buttons;
        int pageCount;
    };
    const std::vector<Step> steps = {
        {"TMainFrm", app::wsFirst, {"继续(&N) 〉", kCancel}, 2},
        // Still two pages, yet Next is no finish on the patch-type page.
        {"TPatchTypeSetFrm", app::wsStep, {kBack, "继续(&N)", kCancel}, 2},
        {"TPatchBuildFrm", app::wsStep, {kBack, "继续(&N)", kCancel}, 5},
        {"TProgressFrm", app::wsAction, {kBack, "生成(&B)", kCancel}, 5},
        {"TFinishFrm", app::wsFinish, {"完成(&O)"}, 5},
    };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        if (i > 0) form.btnNext->click();
        const Step& s = steps[i];
        EXPECT_EQ(CurrentPageName(), s.page) << i;
        EXPECT_EQ(form.Stage, s.stage) << i;
        EXPECT_EQ(VisibleButtons(), s.buttons) << i;
        EXPECT_EQ(form.Manager->PageCount(), s.pageCount) << i;
    }
    EXPECT_TRUE(std::filesystem::exists(params.PatchFileName));
    EXPECT_TRUE(form.btnNext->isEnabled());
    EXPECT_TRUE(form.btnPre->isEnabled());
    EXPECT_FALSE(user_.QuitRequested);
    form.btnNext->click();
    EXPECT_TRUE(user_.QuitRequested);
    EXPECT_TRUE(user_.Calls.empty());
}

TEST_F(WizardTest, BackFromTheActionPageAndOntoTheFirst) {
    RegisterStandIns({"TPatchTypeSetFrm", "TPatchBuildFrm"});
    StandIn("TPatchTypeSetFrm").chooseType = patch::ptProgram;
    TMainForm& form = Open(MakeMaker());
    for (int i = 0; i < 3; ++i) form.btnNext->click();
    ASSERT_EQ(CurrentPageName(), "TProgressFrm");
    form.btnPre->click();
    EXPECT_EQ(CurrentPageName(), "TPatchBuildFrm");
    EXPECT_EQ(VisibleButtons(), (Buttons{kBack, "继续(&N)", kCancel}));
    form.btnPre->click();
    form.btnPre->click();
    EXPECT_EQ(CurrentPageName(), "TMainFrm");
    // Back hides; Next keeps the caption of the step it came from.
    EXPECT_EQ(VisibleButtons(), (Buttons{"继续(&N)", kCancel}));
    // Moving back leaves no page.
    EXPECT_EQ(StandIn("TPatchBuildFrm").left, 1);
}

TEST_F(WizardTest, InstallerStagesAndTheOutcomeOnTheFinishPage) {
    RegisterStandIns({"TInstallDirSetFrm"});
    TMainForm& form = Open(MakePatch("Patch.exe", PatchOf(patch::ptProgram)));
    ASSERT_EQ(form.Manager->PageCount(), 4);
    EXPECT_EQ(CurrentPageName(), "TMainFrm");
    EXPECT_EQ(VisibleButtons(), (Buttons{"继续(&N) 〉", kCancel}));
    form.btnNext->click();
    EXPECT_EQ(CurrentPageName(), "TInstallDirSetFrm");
    form.btnNext->click();
    EXPECT_EQ(CurrentPageName(), "TProgressFrm");
    EXPECT_EQ(VisibleButtons(), (Buttons{kBack, "安装(&I)", kCancel}));
    EXPECT_FALSE(form.Manager->ParamInfo().OnProgress);

    // The install runs whatever it returns, and the finish page tells how it went.
    form.btnNext->click();
    EXPECT_TRUE(form.Manager->ParamInfo().OnProgress);
    EXPECT_EQ(CurrentPageName(), "TFinishFrm");
    EXPECT_EQ(VisibleButtons(), (Buttons{"完成(&O)"}));
    auto* finish = static_cast<TFinishFrm*>(form.FrontPage());
    EXPECT_EQ(finish->lbTitle->text().toStdString(), "升级失败");
    EXPECT_FALSE(finish->btnDetail->isHidden());
}

TEST_F(WizardTest, InstallerWithoutProgramFilesShowsNoPage) {
    TMainForm& form = Open(MakePatch("Patch.exe", PatchOf(patch::ptBoth, false)));
    ASSERT_EQ(user_.Texts(Kind::Notice).size(), 1u);
    EXPECT_NE(user_.Texts(Kind::Notice)[0].find("FILEDATA"), std::string::npos);
    EXPECT_EQ(form.Manager->PageCount(), 0);
    EXPECT_EQ(form.FrontPage(), nullptr);
    EXPECT_EQ(form.Stage, app::wsFinish);
    EXPECT_EQ(VisibleButtons(), (Buttons{"完成(&O)"}));
    form.btnNext->click();
    EXPECT_TRUE(user_.QuitRequested);
}

TEST_F(WizardTest, PageClassNotRegisteredKeepsTheWizardWhereItIs) {
    TMainForm& form = Open(MakePatch("Patch.exe", PatchOf(patch::ptProgram)));
    form.btnNext->click();
    EXPECT_EQ(CurrentPageName(), "TMainFrm");
    EXPECT_EQ(form.Manager->PageIndex(), 0);
    EXPECT_EQ(form.Stage, app::wsFirst);
}

TEST_F(WizardTest, PassedOverPageIsNeverInFront) {
    RegisterStandIns({"TInstallDirSetFrm", "TInstallInitFrame"});
    StandIn("TInstallDirSetFrm").canShow = false;
    TMainForm& form = Open(MakePatch("Patch.exe", PatchOf(patch::ptBoth)));
    form.btnNext->click();
    EXPECT_EQ(CurrentPageName(), "TDBInfoSetFrm");
    EXPECT_EQ(StandIn("TInstallDirSetFrm").left, 1);
    form.btnPre->click();
    EXPECT_EQ(CurrentPageName(), "TMainFrm");
    EXPECT_EQ(form.Stage, app::wsFirst);

    // Forward onto it again: it refuses to be left, so it is shown after all.
    StandIn("TInstallDirSetFrm").leave = false;
    form.btnNext->click();
    EXPECT_EQ(CurrentPageName(), "TInstallDirSetFrm");
    EXPECT_EQ(form.Manager->PageIndex(), 1);
}

TEST_F(WizardTest, ActionFailureIsShownAndTheButtonsComeBack) {
    RegisterStandIns({"TPatchTypeSetFrm", "TPatchBuildFrm"});
    StandIn("TPatchTypeSetFrm").chooseType = patch::ptProgram;
    TMainForm& form = Open(MakeMaker());
    const std::string target = (dir_ / "missing" / "Patch.exe").string();
    form.Manager->ParamInfo().PatchFileName = target;
    for (int i = 0; i < 4; ++i) form.btnNext->click();
    EXPECT_EQ(CurrentPageName(), "TProgressFrm");
    EXPECT_EQ(user_.Texts(Kind::Error), (Buttons{"生成补丁程序出错：" + target}));
    EXPECT_TRUE(form.btnNext->isEnabled());
    EXPECT_TRUE(form.btnPre->isEnabled());
    EXPECT_EQ(form.Stage, app::wsAction);
}

// Answers questions and notes whether Back and Next were usable at that moment.
class WatchingUser : public app::TScriptedInteraction {
  public:
    TMainForm* form = nullptr;
    std::vector<bool> enabledWhileAsked;
    bool AskConfirm(const std::string& text, app::TBoxOwner owner) override {
        enabledWhileAsked.push_back(form->btnNext->isEnabled() || form->btnPre->isEnabled());
        return TScriptedInteraction::AskConfirm(text, owner);
    }
};

TEST_F(WizardTest, ButtonsAreDisabledDuringTheRunAndRefusedOverwriteStays) {
    RegisterStandIns({"TPatchTypeSetFrm", "TPatchBuildFrm"});
    StandIn("TPatchTypeSetFrm").chooseType = patch::ptProgram;
    WatchingUser user;
    form_ = std::make_unique<TMainForm>(user, MakeMaker());
    user.form = form_.get();
    form_->show();
    const std::string target = (dir_ / "Patch.exe").string();
    std::ofstream(target) << "old";
    form_->Manager->ParamInfo().PatchFileName = target;
    for (int i = 0; i < 3; ++i) form_->btnNext->click();
    user.Answers = {false};
    form_->btnNext->click();
    EXPECT_EQ(user.Texts(Kind::Confirm), (Buttons{"已经存在相同名称的补丁，确定覆盖吗？"}));
    EXPECT_EQ(user.Calls.back().owner, app::TBoxOwner::CurrentPage);
    EXPECT_EQ(user.enabledWhileAsked, std::vector<bool>{false});
    EXPECT_EQ(CurrentPageName(), "TProgressFrm");
    EXPECT_TRUE(form_->btnNext->isEnabled());
    form_.reset();
}

TEST_F(WizardTest, CancelAsksAndEndsOnlyOnOk) {
    struct Case {
        bool maker, answer;
        std::string question;
    };
    for (const Case& c : {Case{true, false, "升级补丁制作尚未完成，确定取消生成吗？"},
                          Case{true, true, "升级补丁制作尚未完成，确定取消生成吗？"},
                          Case{false, true, "正在安装升级补丁，确定取消安装吗？"}}) {
        user_ = {};
        user_.Answers = {c.answer};
        TMainForm& form = Open(c.maker ? MakeMaker() : MakePatch("Patch.exe", {}));
        form.btnCancel->click();
        ASSERT_EQ(user_.Calls.size(), 1u);
        EXPECT_EQ(user_.Calls[0].text, c.question);
        EXPECT_EQ(user_.Calls[0].caption, "确认信息");
        EXPECT_EQ(user_.Calls[0].owner, app::TBoxOwner::MainWindow);
        EXPECT_EQ(user_.QuitRequested, c.answer);
    }
}

// Fails the first notice it is asked to show.
class FailingUser : public app::TScriptedInteraction {
  public:
    void ShowNotice(const std::string& text, app::TBoxOwner owner) override {
        if (!failed_) {
            failed_ = true;
            throw std::runtime_error("显示失败");
        }
        TScriptedInteraction::ShowNotice(text, owner);
    }

  private:
    bool failed_ = false;
};

TEST_F(WizardTest, FailureWhileStartingIsShownAndEndsTheProgram) {
    FailingUser user;
    // The installer's notice about the missing program files fails inside the manager's construction.
    TMainForm form(user, MakePatch("Patch.exe", PatchOf(patch::ptProgram, false)));
    EXPECT_EQ(form.Manager, nullptr);
    EXPECT_EQ(user.Texts(Kind::Notice),
              (Buttons{"升级过程中有错误，请检查数据库是否存在或者启动，错误信息是：显示失败"}));
    EXPECT_EQ(user.Calls[0].owner, app::TBoxOwner::MainWindow);
    EXPECT_TRUE(user.QuitRequested);
    form.show();
    EXPECT_EQ(form.FrontPage(), nullptr);
}

}  // namespace
}  // namespace kestrane::gui::testing
