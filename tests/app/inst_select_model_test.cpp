#include "app/inst_select_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/manager.h"
#include "maker_fixture.h"

namespace kestrane::app {
namespace {

using Kind = TScriptedInteraction::Kind;
using Names = std::vector<std::string>;

class InstSelectTest : public MakerFixture {
  protected:
    void SetUp() override {
        MakerFixture::SetUp();
        maker_ = NewMaker();
        page_.Manager = maker_.get();
    }
    // Account sets A, B and C (version "8.1", "", "9.0"), B selected.
    void ThreeAccountSets() {
        auto& sets = maker_->ParamInfo().Instances;
        sets.assign(3, {});
        const char* versions[] = {"8.1", "", "9.0"};
        for (std::size_t i = 0; i < 3; ++i) {
            sets[i].DBName = std::string(1, static_cast<char>('A' + i));
            sets[i].AccountName = "账套" + sets[i].DBName;
            sets[i].Version = versions[i];
        }
        sets[1].Selected = true;
    }
    void Tick(std::vector<bool> ticks) {
        for (std::size_t i = 0; i < ticks.size(); ++i) page_.lvInstance[i].Checked = ticks[i];
    }
    std::vector<bool> Selected() const {
        std::vector<bool> out;
        for (const auto& s : maker_->ParamInfo().Instances) out.push_back(s.Selected);
        return out;
    }

    std::unique_ptr<TManager> maker_;
    TInstSelectModel page_;
};

TEST_F(InstSelectTest, TextsAndRowsFollowTheRunModeAndTheAccountSets) {
    ThreeAccountSets();
    auto& params = maker_->ParamInfo();
    page_.EnterPage(params);
    EXPECT_EQ(page_.lbTitle, "选择账套来源");
    EXPECT_EQ(page_.lbText, "请选择您用来制作数据库补丁的系统账套");
    EXPECT_EQ(page_.lbDescrip,
              "点击“继续”进入下一步，点击“返回”回退到上一步设置\r\n您可以勾选列表中的账套，只能选择一个");
    EXPECT_EQ(page_.lvInstance, (std::vector<TInstRow>{{"A", "账套A", "8.1", 0, false},
                                                       {"B", "账套B", "", 1, true},
                                                       {"C", "账套C", "9.0", 2, false}}));
    params.RunMode = patch::rmInstaller;
    page_.EnterPage(params);
    EXPECT_EQ(page_.lbTitle, "选择需要升级的账套");
    EXPECT_EQ(page_.lbText, "请选择您要给系统的哪些账套打上升级补丁？");
    EXPECT_EQ(page_.lbDescrip,
              "点击“继续”进入下一步，点击“返回”回退到上一步设置\r\n您可以勾选列表中的账套，允许选择多个");
}

TEST_F(InstSelectTest, ToolButtonsTickClearAndInvertWithoutTouchingTheAccountSets) {
    ThreeAccountSets();
    page_.EnterPage(maker_->ParamInfo());
    auto ticks = [&] {
        std::vector<bool> out;
        for (const auto& r : page_.lvInstance) out.push_back(r.Checked);
        return out;
    };
    page_.ToolButton1Click();
    EXPECT_EQ(ticks(), (std::vector<bool>{true, false, true}));
    page_.tbSelAllClick();
    EXPECT_EQ(ticks(), (std::vector<bool>{true, true, true}));
    page_.tbClrAllClick();
    EXPECT_EQ(ticks(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(Selected(), (std::vector<bool>{false, true, false}));
}

// With one account set or none the page is passed over, ticking what there is on the way.
TEST_F(InstSelectTest, PageShowsOnlyForMoreThanOneAccountSet) {
    auto& params = maker_->ParamInfo();
    page_.EnterPage(params);
    EXPECT_FALSE(page_.CanShow());
    EXPECT_FALSE(page_.LeavePage(params));
    EXPECT_EQ(ui_.Texts(Kind::Notice), (Names{"请选择一个用于制作补丁的账套"}));

    params.Instances.resize(1);
    params.Instances[0].DBName = "ONLY";
    page_.EnterPage(params);
    EXPECT_FALSE(page_.CanShow());
    EXPECT_TRUE(page_.LeavePage(params));
    EXPECT_TRUE(params.Instances[0].Selected);

    ThreeAccountSets();
    page_.EnterPage(params);
    EXPECT_TRUE(page_.CanShow());
    EXPECT_EQ(Selected(), (std::vector<bool>{false, true, false}));
}

TEST_F(InstSelectTest, LeavingStoresTheTicksAndValidatesThemByRunMode) {
    const struct Case {
        std::string name;
        patch::TRunMode mode;
        bool notCheckVersion;
        std::vector<bool> ticks;
        std::string refusal;
        // The account-set versions the patch applies to.
        patch::TVersionArray listed = {{"8.1", "八点一"}, {"9.0", "九"}};
    } cases[] = {
        {"maker, one", patch::rmMaker, false, {false, false, true}, ""},
        // The ticks are stored although the page refuses.
        {"maker, two", patch::rmMaker, false, {true, false, true}, "不允许同时选择多个账套"},
        {"maker, none", patch::rmMaker, false, {false, false, false}, "请选择一个用于制作补丁的账套"},
        {"installer, none", patch::rmInstaller, false, {false, false, false}, "请选择要升级哪些账套"},
        {"installer, several", patch::rmInstaller, false, {true, true, true}, ""},
        // 9.0 is not among the versions the patch applies to; the empty version always passes.
        {"installer, unfit version",
         patch::rmInstaller,
         false,
         {false, true, true},
         "该补丁不适合账套[账套C]的版本号，无法对其升级",
         {{"8.1", "八点一"}}},
        {"installer, unchecked versions", patch::rmInstaller, true, {true, false, true}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui_.Calls.clear();
        ThreeAccountSets();
        auto& params = maker_->ParamInfo();
        maker_->PatchVersion().InstanceVersions = c.listed;
        params.RunMode = c.mode;
        params.NotCheckVersion = c.notCheckVersion;
        page_.EnterPage(params);
        Tick(c.ticks);
        EXPECT_EQ(page_.LeavePage(params), c.refusal.empty());
        EXPECT_EQ(Selected(), c.ticks);
        EXPECT_EQ(ui_.Texts(Kind::Notice), c.refusal.empty() ? Names{} : Names{c.refusal});
        for (const auto& call : ui_.Calls) EXPECT_EQ(call.owner, TBoxOwner::CurrentPage);
    }
}

}  // namespace
}  // namespace kestrane::app
