#include "app/manager.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/page_registry.h"
#include "fake_system.h"
#include "manager_fixture.h"
#include "patch/texts.h"

namespace kestrane::app {
namespace {

using patch::TBaseParamInfo;
using patch::TKVPatchType;
using Names = std::vector<std::string>;

// What the stub pages do, by class name, and what happened to them.
struct StubRules {
    std::set<std::string> cannotShow;
    std::set<std::string> refuseLeave;
    std::function<void(const std::string& page, TBaseParamInfo& params)> onLeave;
};
StubRules gRules;
Names gJournal;

class StubPage : public TBaseFrame {
  public:
    explicit StubPage(std::string name) : Name(std::move(name)) {}
    bool EnterPage(TBaseParamInfo&) override {
        gJournal.push_back("enter " + Name);
        return true;
    }
    bool LeavePage(TBaseParamInfo& params) override {
        gJournal.push_back("leave " + Name);
        if (gRules.onLeave) gRules.onLeave(Name, params);
        return !gRules.refuseLeave.count(Name);
    }
    bool CanShow() override { return !gRules.cannotShow.count(Name); }
    const std::string Name;
};

std::string NameOf(const TBaseFrame* page) {
    const auto* stub = dynamic_cast<const StubPage*>(page);
    return stub ? stub->Name : "";
}

class RecordingHost : public TPageHost {
  public:
    void PlacePage(TBaseFrame& page) override { gJournal.push_back("place " + NameOf(&page)); }
    void BringToFront(TBaseFrame& page) override {
        gJournal.push_back("front " + NameOf(&page));
        Front = &page;
    }
    TBaseFrame* Front = nullptr;
};

template <const char* Name>
std::unique_ptr<TBaseFrame> MakeStub() {
    return std::make_unique<StubPage>(Name);
}

const TPageClass kStubClasses[] = {
    {pages::TMainFrm, &MakeStub<pages::TMainFrm>},
    {pages::TPatchTypeSetFrm, &MakeStub<pages::TPatchTypeSetFrm>},
    {pages::TDBInfoSetFrm, &MakeStub<pages::TDBInfoSetFrm>},
    {pages::TInstSelectFrm, &MakeStub<pages::TInstSelectFrm>},
    {pages::TInstallDirSetFrm, &MakeStub<pages::TInstallDirSetFrm>},
    {pages::TProgressFrm, &MakeStub<pages::TProgressFrm>},
    {pages::TPatchBuildFrm, &MakeStub<pages::TPatchBuildFrm>},
    {pages::TFinishFrm, &MakeStub<pages::TFinishFrm>},
    {pages::TInstallInitFrame, &MakeStub<pages::TInstallInitFrame>},
};

const Names kMakerNone{"TMainFrm", "TPatchTypeSetFrm"};
const Names kMakerProgram{"TMainFrm", "TPatchTypeSetFrm", "TPatchBuildFrm", "TProgressFrm", "TFinishFrm"};
const Names kMakerInstance{"TMainFrm",       "TPatchTypeSetFrm", "TDBInfoSetFrm", "TInstSelectFrm",
                           "TPatchBuildFrm", "TProgressFrm",     "TFinishFrm"};
const Names kInstallerProgram{"TMainFrm", "TInstallDirSetFrm", "TProgressFrm", "TFinishFrm"};
const Names kInstallerInstance{"TMainFrm",          "TDBInfoSetFrm", "TInstSelectFrm",
                               "TInstallInitFrame", "TProgressFrm",  "TFinishFrm"};
const Names kInstallerBoth{"TMainFrm",          "TInstallDirSetFrm", "TDBInfoSetFrm", "TInstSelectFrm",
                           "TInstallInitFrame", "TProgressFrm",      "TFinishFrm"};

class ManagerTest : public ManagerFixture {
  protected:
    void SetUp() override {
        ManagerFixture::SetUp();
        for (const auto& c : kStubClasses) RegisterPage(c);
        gRules = {};
        gJournal.clear();
    }
    void TearDown() override {
        for (const auto& c : kStubClasses) RegisterPage(c, false);
        ManagerFixture::TearDown();
    }

    // A maker whose patch-type page chooses `type` when it is left.
    std::unique_ptr<TManager> Maker(TKVPatchType type = patch::ptNone) {
        auto m = std::make_unique<TManager>(ui_, Path("Kestrane.exe"));
        Wire(*m);
        gRules.onLeave = [type](const std::string& page, TBaseParamInfo& params) {
            if (page == pages::TPatchTypeSetFrm) params.PatchType = type;
        };
        return m;
    }
    void Wire(TManager& m) {
        m.SetPageHost(&host_);
        m.OnStageChange = [this](TManager&, TWizardStage stage) { stages_.push_back(stage); };
    }
    std::string Current(const TManager& m) const { return NameOf(m.CurrentPage()); }

    RecordingHost host_;
    std::vector<TWizardStage> stages_;
};

TEST_F(ManagerTest, PageListPerRunModeAndPatchType) {
    struct Case {
        std::uint8_t runMode;
        int type;
        Names expected;  // empty: the list before stays
    };
    const Case cases[] = {
        {0, patch::ptNone, kMakerNone},
        {0, patch::ptProgram, kMakerProgram},
        {0, patch::ptInstance, kMakerInstance},
        {0, patch::ptBoth, kMakerInstance},
        {1, patch::ptProgram, kInstallerProgram},
        {1, patch::ptInstance, kInstallerInstance},
        {1, patch::ptBoth, kInstallerBoth},
        {1, patch::ptNone, {}},
        {0, 7, {}},
        {1, 4, {}},
        {2, patch::ptProgram, {}},
    };
    TManager m(ui_, Path("Kestrane.exe"));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "run mode " << int(c.runMode) << " type " << c.type);
        TBaseParamInfo params;
        params.RunMode = patch::rmMaker;
        params.PatchType = patch::ptProgram;
        m.BuildPageList(params);
        params.RunMode = static_cast<patch::TRunMode>(c.runMode);
        params.PatchType = static_cast<TKVPatchType>(c.type);
        m.BuildPageList(params);
        EXPECT_EQ(m.PageNames(), c.expected.empty() ? kMakerProgram : c.expected);
        EXPECT_EQ(m.PageCount(), static_cast<std::int32_t>(m.PageNames().size()));
    }
}

TEST_F(ManagerTest, RunModeFromTheExactFileName) {
    const struct {
        std::string name;
        bool installer;
    } cases[] = {
        {"Kestrane.exe", false}, {"bin/Kestrane.exe", false}, {"kestrane.exe", true},
        {"KESTRANE.EXE", true},  {"Kestrane.EXE", true},      {"Kestrane.exe.bak", true},
        {"Kestrane", true},      {"Patch.exe", true},         {"Kestrane.exe/Patch.exe", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TManager m(ui_, Path(c.name));
        EXPECT_EQ(m.IsInstaller(), c.installer);
        EXPECT_EQ(m.ParamInfo().RunMode, c.installer ? 1 : 0);
    }
}

TEST_F(ManagerTest, MakerConstruction) {
    WriteFile("registry.reg",
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\r\n"
              "\"AppInstallPath\"=\"  /opt/lumo \"\r\n");
    TManager m(ui_, Path("Kestrane.exe"));
    const auto& params = m.ParamInfo();
    EXPECT_EQ(params.RunMode, 0);
    EXPECT_EQ(params.ProgramDir, dir_.string() + "/");
    EXPECT_EQ(params.InstallPath, "/opt/lumo/");
    EXPECT_EQ(m.FileMng().InstallPath(), "/opt/lumo/");
    EXPECT_EQ(params.PatchFileName, dir_.string() + "/Patch.exe");
    EXPECT_EQ(m.PageNames(), kMakerNone);
    EXPECT_EQ(m.PageIndex(), -1);
    EXPECT_EQ(m.CurrentPage(), nullptr);
    EXPECT_TRUE(m.Pages().empty());
    EXPECT_TRUE(ui_.Calls.empty());
}

TEST_F(ManagerTest, InstallerWithoutResourcesShowsNoPageAndFinishes) {
    const std::string exe = MakeExe("Patch.exe");
    TManager m(ui_, exe);
    Wire(m);
    const std::string failed = patch::texts::kPatchLoadFailed;
    // The parameters' failure is only logged; the items' failure is shown.
    EXPECT_EQ(m.FullLog(), Names{failed + "Resource PARAMDATA not found"});
    EXPECT_EQ(m.DetailLog(), m.FullLog());
    ASSERT_EQ(ui_.Calls.size(), 1u);
    EXPECT_EQ(ui_.Calls[0].kind, TScriptedInteraction::Kind::Notice);
    EXPECT_EQ(ui_.Calls[0].caption, "提示信息");
    EXPECT_EQ(ui_.Calls[0].text, failed + "Resource FILEDATA not found");
    EXPECT_EQ(m.ParamInfo().RunMode, 1);
    EXPECT_EQ(m.ParamInfo().PatchType, patch::ptNone);
    EXPECT_EQ(m.PageCount(), 0);

    m.Start();
    EXPECT_EQ(stages_, std::vector<TWizardStage>{wsFinish});
    EXPECT_TRUE(gJournal.empty());
    EXPECT_TRUE(m.Pages().empty());
}

TEST_F(ManagerTest, MakerWalkRebuildsOnLeavingThePatchTypePage) {
    auto m = Maker(patch::ptProgram);
    m->Start();
    EXPECT_EQ(Current(*m), "TMainFrm");
    m->NextPage();
    // Two pages: without the forced step the patch-type page would count as the finish.
    EXPECT_EQ(Current(*m), "TPatchTypeSetFrm");
    EXPECT_EQ(m->PageCount(), 2);
    m->NextPage();
    EXPECT_EQ(m->PageNames(), kMakerProgram);
    EXPECT_EQ(Current(*m), "TPatchBuildFrm");
    m->NextPage();
    m->NextPage();
    EXPECT_EQ(Current(*m), "TFinishFrm");
    EXPECT_EQ(stages_, (std::vector<TWizardStage>{wsFirst, wsStep, wsStep, wsAction, wsFinish}));

    // Back to the patch-type page keeps the list; leaving it forward with another type rebuilds it.
    m->PrevPage();
    m->PrevPage();
    m->PrevPage();
    EXPECT_EQ(Current(*m), "TPatchTypeSetFrm");
    EXPECT_EQ(m->PageNames(), kMakerProgram);
    gRules.onLeave = [](const std::string&, TBaseParamInfo& params) { params.PatchType = patch::ptBoth; };
    m->NextPage();
    EXPECT_EQ(m->PageNames(), kMakerInstance);
    EXPECT_EQ(Current(*m), "TDBInfoSetFrm");
    EXPECT_EQ(m->PageIndex(), 2);
}

TEST_F(ManagerTest, PatchTypeStillNoneStaysOnThePatchTypePage) {
    auto m = Maker(patch::ptNone);
    m->Start();
    m->NextPage();
    gJournal.clear();
    stages_.clear();
    m->NextPage();
    EXPECT_EQ(gJournal, Names{"leave TPatchTypeSetFrm"});
    EXPECT_EQ(m->PageIndex(), 1);
    EXPECT_EQ(stages_, std::vector<TWizardStage>{wsStep});
}

TEST_F(ManagerTest, ForwardOntoPassedOverPageThatRefusesStopsThere) {
    auto m = Maker(patch::ptInstance);
    gRules.cannotShow = {"TDBInfoSetFrm"};
    gRules.refuseLeave = {"TDBInfoSetFrm"};
    m->Start();
    m->NextPage();
    gJournal.clear();
    stages_.clear();
    m->NextPage();
    EXPECT_EQ(gJournal, (Names{"leave TPatchTypeSetFrm", "enter TDBInfoSetFrm", "place TDBInfoSetFrm",
                               "leave TDBInfoSetFrm", "front TDBInfoSetFrm"}));
    EXPECT_EQ(m->PageIndex(), 2);
    EXPECT_EQ(Current(*m), "TDBInfoSetFrm");
    EXPECT_EQ(host_.Front, m->CurrentPage());
    // The refusal notifies nothing; the passing-over ShowPage does.
    EXPECT_EQ(stages_, std::vector<TWizardStage>{wsStep});
}

TEST_F(ManagerTest, PassedOverPagesInBothDirections) {
    auto m = Maker(patch::ptInstance);
    gRules.cannotShow = {"TDBInfoSetFrm"};
    m->Start();
    m->NextPage();
    gJournal.clear();
    m->NextPage();
    EXPECT_EQ(gJournal, (Names{"leave TPatchTypeSetFrm", "enter TDBInfoSetFrm", "place TDBInfoSetFrm",
                               "leave TDBInfoSetFrm", "enter TInstSelectFrm", "place TInstSelectFrm",
                               "front TInstSelectFrm"}));
    EXPECT_EQ(m->PageIndex(), 3);

    // Back: nothing is left, the page that cannot show is passed over towards the first.
    gJournal.clear();
    stages_.clear();
    m->PrevPage();
    EXPECT_EQ(gJournal, (Names{"enter TDBInfoSetFrm", "place TDBInfoSetFrm", "enter TPatchTypeSetFrm",
                               "place TPatchTypeSetFrm", "front TPatchTypeSetFrm"}));
    EXPECT_EQ(m->PageIndex(), 1);
    EXPECT_EQ(Current(*m), "TPatchTypeSetFrm");
    EXPECT_EQ(stages_, (std::vector<TWizardStage>{wsStep, wsStep}));
}

TEST_F(ManagerTest, CurrentOutOfRangeOrUnknownIndexOnlyRenotifies) {
    const struct {
        std::int32_t index;
        Names journal;
    } cases[] = {
        {0, {}}, {-1, {}}, {-7, {}}, {5, {"leave TMainFrm"}},  // forward: the page is still left
    };
    auto m = Maker();
    m->Start();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        gJournal.clear();
        stages_.clear();
        m->ShowPage(c.index);
        EXPECT_EQ(gJournal, c.journal);
        EXPECT_EQ(m->PageIndex(), 0);
        EXPECT_EQ(stages_, std::vector<TWizardStage>{wsFirst});
    }

    // A page list entry without a registered class.
    RegisterPage(kStubClasses[1], false);
    gJournal.clear();
    stages_.clear();
    m->NextPage();
    EXPECT_EQ(gJournal, Names{"leave TMainFrm"});
    EXPECT_EQ(m->PageIndex(), 0);
    EXPECT_EQ(stages_, std::vector<TWizardStage>{wsFirst});
    RegisterPage(kStubClasses[1]);
}

TEST_F(ManagerTest, PagesAreCreatedOnceAndKept) {
    auto m = Maker(patch::ptProgram);
    m->Start();
    m->NextPage();
    TBaseFrame* typePage = m->CurrentPage();
    m->NextPage();
    m->PrevPage();
    m->PrevPage();
    m->NextPage();
    EXPECT_EQ(m->CurrentPage(), typePage);
    EXPECT_EQ(m->Pages().size(), 3u);
    EXPECT_EQ(m->FindPage(*FindPageClass("tpatchtypesetfrm")), typePage);
    EXPECT_EQ(m->FindPage(kStubClasses[7]), nullptr);
    for (const auto& page : m->Pages()) EXPECT_EQ(page->Manager, m.get());
}

TEST_F(ManagerTest, RegistryLooksUpIgnoringCaseAndUnregisters) {
    EXPECT_EQ(FindPageClass("TFINISHFRM"), &kStubClasses[7]);
    EXPECT_EQ(FindPageClass("TFinishFr"), nullptr);
    RegisterPage(kStubClasses[7], false);
    EXPECT_EQ(FindPageClass("TFinishFrm"), nullptr);
    RegisterPage(kStubClasses[7]);
}

TEST_F(ManagerTest, LogProgressAndInstallPath) {
    TManager m(ui_, Path("Kestrane.exe"));
    int sender = 0;
    m.Log(&sender, "第一");
    m.FileMng().OnMessage(&m.FileMng(), "第二");
    EXPECT_EQ(m.FullLog(), (Names{"第一", "第二"}));
    EXPECT_EQ(m.DetailLog(), (Names{"第一", "第二"}));

    m.ReportProgress("skipped", 1, 2);  // no callback yet
    std::vector<std::string> reports;
    m.ParamInfo().OnProgress = [&](const void* s, patch::TKVParamNodeType type, const std::string& msg,
                                   int pos, int max) {
        EXPECT_EQ(s, &m);
        reports.push_back(std::to_string(type) + " " + msg + " " + std::to_string(pos) + "/" +
                          std::to_string(max));
    };
    m.ReportProgress("步骤", 3, 9);
    EXPECT_EQ(reports, Names{"10 步骤 3/9"});

    m.ParamInfo().DBInfos.resize(2);
    m.ParamInfo().Instances.resize(1);
    m.ChangeInstallPath("/srv/lumo/");
    EXPECT_EQ(m.ParamInfo().InstallPath, "/srv/lumo/");
    EXPECT_EQ(m.FileMng().InstallPath(), "/srv/lumo/");
    EXPECT_EQ(m.ParamInfo().DBInfos.size(), m.FileMng().Servers().size());
    EXPECT_EQ(m.ParamInfo().Instances.size(), m.FileMng().AccountSets().size());
}

// A program patch made by a maker from the stand-in program.
std::string MakeProgramPatch(TScriptedInteraction& ui, const std::string& program, const std::string& file) {
    TManager maker(ui, program);
    maker.ParamInfo().PatchType = patch::ptProgram;
    maker.ParamInfo().PatchFileName = file;
    EXPECT_TRUE(maker.WritePatchExecutable());
    return file;
}

// A link named Patch.exe is an installer; the patch is read from the file the link names.
TEST_F(ManagerTest, RunModeFollowsTheInvokedNameAndResourcesTheFile) {
    std::filesystem::create_directories(Path("real"));
    const std::string file = MakeProgramPatch(ui_, MakeExe("Kestrane.exe"), Path("real/Made.exe"));
    TManager installer(ui_, file, Path("links/Patch.exe"));
    EXPECT_TRUE(installer.IsInstaller());
    EXPECT_EQ(installer.ExePath(), file);
    EXPECT_EQ(installer.ParamInfo().PatchType, patch::ptProgram);
    EXPECT_EQ(installer.ParamInfo().ProgramDir, Path("real") + "/");
    EXPECT_EQ(installer.PageNames(), kInstallerProgram);

    TManager maker(ui_, file, "Kestrane.exe");
    EXPECT_FALSE(maker.IsInstaller());
    EXPECT_EQ(maker.ParamInfo().RunMode, patch::rmMaker);
    TManager byFile(ui_, file);
    EXPECT_TRUE(byFile.IsInstaller());
    EXPECT_TRUE(ui_.Calls.empty());
}

TEST_F(ManagerTest, ActionPageLeavesFirstThenBuildsOrInstalls) {
    std::filesystem::create_directories(Path("out"));
    MakeExe("Kestrane.exe");
    auto m = Maker(patch::ptProgram);
    m->ParamInfo().PatchFileName = Path("out/Patch.exe");
    m->Start();
    for (int i = 0; i < 3; ++i) m->NextPage();
    ASSERT_EQ(Current(*m), "TProgressFrm");

    gRules.refuseLeave = {"TProgressFrm"};
    EXPECT_FALSE(m->RunAction());
    EXPECT_EQ(gJournal.back(), "leave TProgressFrm");
    EXPECT_FALSE(std::filesystem::exists(Path("out/Patch.exe")));
    EXPECT_EQ(Current(*m), "TProgressFrm");

    gRules.refuseLeave.clear();
    EXPECT_TRUE(m->RunAction());
    EXPECT_EQ(Current(*m), "TFinishFrm");
    EXPECT_TRUE(std::filesystem::exists(Path("out/Patch.exe")));

    // A build that ends before writing keeps the wizard on the action page.
    m->PrevPage();
    ASSERT_EQ(Current(*m), "TProgressFrm");
    ui_.Answers = {false};
    EXPECT_FALSE(m->RunAction());
    EXPECT_EQ(Current(*m), "TProgressFrm");

    // The installer moves on to the finish page whatever the install gave: here a program that must
    // be closed stays open.
    FakeSystem system;
    system.Processes = {{"LumoClient.exe", 42}};
    TManager installer(ui_, Path("out/Patch.exe"), "", &system);
    Wire(installer);
    installer.Start();
    installer.NextPage();
    installer.NextPage();
    ASSERT_EQ(Current(installer), "TProgressFrm");
    ui_.Answers = {false};
    EXPECT_FALSE(installer.RunAction());
    EXPECT_EQ(Current(installer), "TFinishFrm");
    EXPECT_EQ(installer.ParamInfo().ResultFlags, patch::rfFailed);
}

}  // namespace
}  // namespace kestrane::app
