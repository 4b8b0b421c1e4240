// The maker's whole wizard without a window: the headless pages driven through the manager, as the
// command line drives them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/inst_select_model.h"
#include "app/maker_pages.h"
#include "app/manager.h"
#include "maker_fixture.h"

namespace kestrane::app {
namespace {

using Kind = TScriptedInteraction::Kind;
using Names = std::vector<std::string>;

class HeadlessWizardTest : public MakerFixture {
  protected:
    template <class Page>
    Page& Current(TManager& manager) {
        auto* page = dynamic_cast<Page*>(manager.CurrentPage());
        if (!page) throw std::logic_error("not on the expected page");
        return *page;
    }
};

TEST_F(HeadlessWizardTest, MakerGoesFromWelcomeToAWrittenAccountSetPatch) {
    MakeInstallation({"SRC01", "SRC02"});
    auto maker = NewMaker();
    std::vector<TWizardStage> stages;
    maker->OnStageChange = [&](TManager&, TWizardStage stage) { stages.push_back(stage); };
    maker->Start();
    maker->NextPage();
    auto& type = Current<TPatchTypeSetModel>(*maker);
    type.SelectPatchType(patch::ptInstance);
    type.cbNotCheckVersion = type.cbNotUpdateVersion = true;
    maker->NextPage();

    // Servers are known, so the database page is passed over; two account sets are offered.
    auto& select = Current<TInstSelectModel>(*maker);
    EXPECT_EQ(maker->PageIndex(), 3);
    ASSERT_EQ(select.lvInstance.size(), 2u);
    select.lvInstance[1].Checked = true;
    maker->NextPage();

    auto& build = Current<TPatchBuildModel>(*maker);
    build.btnDesignClick();
    EXPECT_EQ(build.Designer.Source.DBName, "SRC02");
    build.Designer.btnSelectClick(TDesignTreeNode::Category(patch::pntBill));
    build.edtDir = Sub("out");
    build.edtName = "";
    maker->NextPage();
    EXPECT_EQ(ui_.Texts(Kind::Notice), (Names{"请输入要生成的补丁名称"}));
    EXPECT_EQ(maker->CurrentPage(), &build);
    build.edtName = "Made";
    maker->NextPage();
    EXPECT_EQ(maker->Stage(), wsAction);

    ASSERT_TRUE(maker->RunAction());
    EXPECT_EQ(maker->Stage(), wsFinish);
    EXPECT_EQ(stages.back(), wsFinish);
    const std::string patchFile = Sub("out") + "/Made.exe";
    ASSERT_EQ(maker->ParamInfo().PatchFileName, patchFile);

    TScriptedInteraction installerUi;
    TManager installer(installerUi, patchFile);
    EXPECT_TRUE(installerUi.Calls.empty());
    EXPECT_EQ(installer.ParamInfo().PatchType, patch::ptInstance);
    EXPECT_TRUE(installer.ParamInfo().NotCheckVersion);
    const auto* bills = installer.InstResItems().FindByNodeType(patch::pntBill);
    ASSERT_NE(bills, nullptr);
    EXPECT_EQ(bills->NodeCount(), 3u);
    const patch::TResItem* data = installer.ResItems().FindByName("Update.mdb");
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->OptType, patch::otProgram);
    EXPECT_FALSE(std::filesystem::exists(Sub("prog") + "/Update.mdb"));
}

}  // namespace
}  // namespace kestrane::app
