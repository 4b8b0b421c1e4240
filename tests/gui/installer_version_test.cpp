// The installer's start-up test of the installed program against the versions its patch lists.
#include <fstream>
#include <string>
#include <vector>

#include "wizard_fixture.h"

namespace kestrane::gui::testing {
namespace {

using Kind = app::TScriptedInteraction::Kind;
using Texts = std::vector<std::string>;

const char kDescriptor[] =
    "<patch><type>1</type><program><newVersion><tag>R2.3</tag></newVersion>"
    "<versions><v><tag>R2.2</tag></v></versions></program></patch>";
const char kNotSuitable[] = "此补丁不适合您的本地程序或您的程序已为最新版本，需要执行升级吗？";

TEST_F(WizardTest, InstalledProgramVersionIsTestedAtStartUp) {
    const struct {
        const char* name;
        patch::TKVPatchType type;
        bool notCheckVersion;
        const char* installed;
        bool answer;
        Texts asked;
        bool quit;
    } cases[] = {
        {"listed", patch::ptProgram, false, "r2.2", true, {}, false},
        {"program patch, not listed: ends silently", patch::ptProgram, false, "R1", true, {}, true},
        {"both, not listed, Cancel", patch::ptBoth, false, "R1", false, {kNotSuitable}, true},
        {"both, not listed, OK", patch::ptBoth, false, "R1", true, {kNotSuitable}, false},
        {"account-set patch", patch::ptInstance, false, "R1", true, {}, false},
        {"test switched off", patch::ptProgram, true, "R1", true, {}, false},
    };
    for (const auto& c : cases) {
        // No installation is registered: the program's own folder holds the installed version.
        std::ofstream(dir_ / "Update.upf", std::ios::binary)
            << "[UpdateConfig]\r\npf_version=" << c.installed << "\r\n";
        PatchContent content = PatchOf(c.type);
        content.notCheckVersion = c.notCheckVersion;
        content.versionDescriptor = kDescriptor;
        user_ = {};
        user_.Answers = {c.answer};
        TMainForm& form = Open(MakePatch("Patch.exe", content));
        ASSERT_NE(form.Manager, nullptr) << c.name;
        EXPECT_EQ(user_.Texts(Kind::Confirm), c.asked) << c.name;
        EXPECT_TRUE(user_.Texts(Kind::Notice).empty()) << c.name;
        EXPECT_EQ(user_.QuitRequested, c.quit) << c.name;
    }
}

TEST_F(WizardTest, MalformedVersionDescriptorEndsTheStartUp) {
    PatchContent content = PatchOf(patch::ptBoth);
    content.versionDescriptor = "<patch><type>1</patch>";
    TMainForm& form = Open(MakePatch("Patch.exe", content));
    EXPECT_EQ(form.Manager, nullptr);
    EXPECT_EQ(
        user_.Texts(Kind::Notice),
        Texts{
            "升级过程中有错误，请检查数据库是否存在或者启动，错误信息是：Start-end tags mismatch (byte 16)"});
    EXPECT_TRUE(user_.QuitRequested);
}

}  // namespace
}  // namespace kestrane::gui::testing
