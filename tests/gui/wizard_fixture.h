// Real widgets on the offscreen platform, a scripted user, and patch files made in a temporary folder.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/scripted_interaction.h"
#include "common/env_guard.h"
#include "common/temp_folder.h"
#include "gui/main_window.h"
#include "gui/step_base_frm.h"
#include "patch/inst_res_items.h"
#include "patch/res_items.h"

namespace kestrane::gui::testing {

QApplication& App();

// A page of a later step: what it does is set per test through `Behaviour`.
class TStandInPage : public TStepBaseFrm {
  public:
    struct Behaviour {
        bool canShow = true;
        bool leave = true;
        patch::TKVPatchType chooseType = patch::ptNone;  // written into the parameters when left
        int entered = 0;
        int left = 0;
    };
    // By class name.
    static std::map<std::string, Behaviour>& Behaviours();

    explicit TStandInPage(std::string name) : name_(std::move(name)) {}
    bool EnterPage(patch::TBaseParamInfo& ParamInfo) override;
    bool LeavePage(patch::TBaseParamInfo& ParamInfo) override;
    bool CanShow() override;

  private:
    std::string name_;
};

// What goes into a patch file's resources.
struct PatchContent {
    patch::TKVPatchType type = patch::ptProgram;
    bool withFileData = true;
    bool notCheckVersion = true;
    std::string filesDescription = "程序文件说明";
    std::string versionDescriptor;  // when not empty, carried as the otVersion item
    // Account-set kinds that get one node each, with their descriptions.
    std::vector<std::pair<patch::TKVParamNodeType, std::string>> kinds;
};

inline PatchContent PatchOf(patch::TKVPatchType type, bool withFileData = true) {
    PatchContent content;
    content.type = type;
    content.withFileData = withFileData;
    return content;
}

class WizardTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // A stand-in executable in the temporary folder: the maker or a patch carrying `content`.
    std::string MakeMaker();
    // `program`, when given, is copied as the patch's program instead of a stand-in.
    std::string MakePatch(const std::string& name, const PatchContent& content,
                          const std::string& program = {});
    // Registers stand-ins for those pages of later steps.
    void RegisterStandIns(const std::vector<std::string>& names);
    TStandInPage::Behaviour& StandIn(const std::string& name) { return TStandInPage::Behaviours()[name]; }

    // A copy of the built program under the maker's name: the patch the maker writes is a copy of it.
    std::string RealMaker();

    // The main window for that executable, shown (so the wizard has started).
    TMainForm& Open(const std::string& exePath);

    // The installer's window from its welcome page to the organisation page. The installation is
    // registered, so the folder and database pages pass by; the account-set page lists the databases
    // `listed`, and those `ticked` are chosen.
    void WalkToTheOrganisationPage(const std::vector<std::string>& listed,
                                   const std::vector<std::string>& ticked);
    // Leaves the organisation page for the action page, the choice confirmed when `question` is asked.
    void ConfirmTheOrganisationUnits(const std::string& question);

    std::string CurrentPageName() const;
    // The page in front as the class expected; throws naming the page that is there instead.
    template <class Page>
    Page& Front() const {
        auto* page = dynamic_cast<Page*>(form_->FrontPage());
        if (!page) throw std::runtime_error("the page in front is " + CurrentPageName());
        return *page;
    }
    std::vector<std::string> VisibleButtons() const;

    std::optional<kestrane::testing::TempFolder> folder_;
    std::optional<kestrane::testing::EnvGuard> registry_;
    std::filesystem::path dir_;
    app::TScriptedInteraction user_;
    std::unique_ptr<TMainForm> form_;

  private:
    std::vector<const app::TPageClass*> standIns_;
};

// Pages tested on their own, with a maker's manager to activate them.
class PageTest : public WizardTest {
  protected:
    void SetUp() override;
    void TearDown() override;
    patch::TBaseParamInfo& Params() { return manager_->ParamInfo(); }

    std::unique_ptr<app::TManager> manager_;
};

// Runs `check` on the modal window that opens next, then lets `close` end it.
void OnNextModal(std::function<void(QWidget& modal)> check);

// Starts `exe` as a user does, offscreen, with KESTRANE_REGISTRY naming `registry`, and lets it draw its
// first page into `picture` and end: its standard output, or a failure when it does not end well.
std::string RunSelfCheck(const std::filesystem::path& exe, const std::filesystem::path& registry,
                         const std::filesystem::path& picture, std::string* errors = nullptr);

}  // namespace kestrane::gui::testing
