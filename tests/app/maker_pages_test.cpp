#include "app/maker_pages.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/manager.h"
#include "db/recording_driver.h"
#include "maker_fixture.h"
#include "platform/file_system.h"

namespace kestrane::app {
namespace {

namespace fs = std::filesystem;
using Kind = TScriptedInteraction::Kind;
using Names = std::vector<std::string>;

class MakerPagesTest : public MakerFixture {
  protected:
    template <class Page>
    void Enter(Page& page, TManager& manager) {
        page.Manager = &manager;
        page.EnterPage(manager.ParamInfo());
    }
    Names Notices() const { return ui_.Texts(Kind::Notice); }
};

// ---- the patch-type page ----

TEST_F(MakerPagesTest, PatchTypePageShowsAndStoresTheTypeAndSwitches) {
    auto maker = NewMaker();
    auto& params = maker->ParamInfo();
    TPatchTypeSetModel page;
    EXPECT_EQ(page.lbTitle, "选择补丁类型");
    EXPECT_EQ(page.lbText, "请选择您本次需要制作的补丁类型");
    EXPECT_EQ(page.lbDescrip, "点击“继续”进入下一步，点击“返回”回退到上一步设置");

    // The first visit shows "程序 + 账套" and leaving stores it.
    Enter(page, *maker);
    EXPECT_TRUE(page.rbBoth);
    EXPECT_FALSE(page.rbProgram || page.rbInstance);
    EXPECT_EQ(page.RegInstallEdit, "Software\\Torlinex\\Lumo");
    ASSERT_TRUE(page.LeavePage(params));
    EXPECT_EQ(params.PatchType, patch::ptBoth);

    page.SelectPatchType(patch::ptProgram);
    page.cbNotCheckVersion = page.cbNotBackup = true;
    ASSERT_TRUE(page.LeavePage(params));
    EXPECT_EQ(params.PatchType, patch::ptProgram);
    EXPECT_TRUE(params.NotCheckVersion);
    EXPECT_FALSE(params.NotUpdateVersion);
    EXPECT_TRUE(params.NotBackup);

    Enter(page, *maker);
    EXPECT_TRUE(page.rbProgram);
    EXPECT_FALSE(page.rbBoth);
    EXPECT_TRUE(page.cbNotCheckVersion);
    // With no button selected the type stays.
    page.rbProgram = false;
    ASSERT_TRUE(page.LeavePage(params));
    EXPECT_EQ(params.PatchType, patch::ptProgram);
}

TEST_F(MakerPagesTest, ChangedRegistryKeyReadsTheInstallationAgain) {
    MakeInstallation({"SRC01"});
    // A second installation under another key.
    const std::string other = Sub("other") + "/";
    MakeAccountSet(other, "OTHER1", "其它一", "{AAAAAAAA-2222-3333-4444-555555555555}");
    MakeAccountSet(other, "OTHER2", "其它二", "{BBBBBBBB-2222-3333-4444-555555555555}");
    Put("other/lumo_bd_1_14.lmb", testing::StoredValueFile(testing::StoredFactories(
                                      {testing::EmbeddedFactory(1, other, {"OTHER1", "OTHER2"})})));
    PutText("etc/registry.reg",
            "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\r\n\"AppInstallPath\"=\"" +
                Dir() + "\"\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n\"AppInstallPath\"=\"" + other +
                "\"\r\n");
    auto maker = NewMaker();
    auto& params = maker->ParamInfo();
    ASSERT_EQ(params.Instances.size(), 1u);
    TPatchTypeSetModel page;
    Enter(page, *maker);

    // A switch alone leaves the installation as it was.
    page.cbNotUpdateVersion = true;
    ASSERT_TRUE(page.LeavePage(params));
    EXPECT_EQ(params.InstallPath, Dir());
    EXPECT_EQ(params.Instances.size(), 1u);

    page.RegInstallEdit = "Software\\Other";
    ASSERT_TRUE(page.LeavePage(params));
    EXPECT_EQ(params.RegInstallPath, "Software\\Other");
    EXPECT_EQ(params.InstallPath, other);
    ASSERT_EQ(params.Instances.size(), 2u);
    EXPECT_EQ(params.Instances[0].DBName, "OTHER1");
    EXPECT_EQ(params.DBInfos.size(), 1u);

    // A key that does not exist: no folder, no lists.
    page.RegInstallEdit = "Software\\Missing";
    ASSERT_TRUE(page.LeavePage(params));
    EXPECT_EQ(params.InstallPath, "");
    EXPECT_TRUE(params.Instances.empty());
    EXPECT_TRUE(params.DBInfos.empty());
    EXPECT_TRUE(ui_.Calls.empty());
}

// The lists of the installation left behind must not stand for one that could not be read.
TEST_F(MakerPagesTest, InstallationThatCannotBeReadLeavesEmptyListsAndShowsWhy) {
    MakeInstallation({"SRC01"});
    const std::string broken = Sub("broken") + "/";
    // An account set whose Sys_Accounts is missing cannot be listed.
    db::CreateJetDatabase(testing::EmbeddedConnectionString(broken + "NOACC.mdb"));
    testing::ExecAll(broken + "NOACC.mdb", {"create table T (A LONG)"});
    Put("broken/lumo_bd_1_14.lmb",
        testing::StoredValueFile(testing::StoredFactories({testing::EmbeddedFactory(1, broken, {"NOACC"})})));
    auto maker = NewMaker();
    ASSERT_EQ(maker->ParamInfo().Instances.size(), 1u);

    EXPECT_FALSE(maker->ChangeInstallPath(broken));
    EXPECT_EQ(maker->ParamInfo().InstallPath, broken);
    EXPECT_TRUE(maker->ParamInfo().Instances.empty());
    EXPECT_TRUE(maker->ParamInfo().DBInfos.empty());
    ASSERT_EQ(ui_.Calls.size(), 1u);
    EXPECT_EQ(ui_.Calls[0].kind, Kind::Error);
    EXPECT_NE(ui_.Calls[0].text.find("Sys_Accounts"), std::string::npos) << ui_.Calls[0].text;
}

// ---- the database page ----

TEST_F(MakerPagesTest, DatabasePageEditsEveryKnownServerOfItsKind) {
    auto maker = NewMaker();
    auto& params = maker->ParamInfo();
    TDBInfoSetModel page;
    EXPECT_EQ(page.lbTitle, "配置数据库连接");
    EXPECT_EQ(page.lbDescrip,
              "点击“继续”进入下一步，点击“返回”回退到上一步设置\r\n如果您要检查所配置的连接信息是否正确，请点"
              "击“测试连接”");
    page.Manager = maker.get();
    EXPECT_TRUE(page.CanShow());

    support::TDBInfoRec sql1{support::dbtMsSql, false, "srv1", 1433, "", "sa", "one"};
    support::TDBInfoRec sql2{support::dbtMsSql, true, "srv2", 2433, "", "", ""};
    support::TDBInfoRec ora{support::dbtOracle, false, "db1", 1521, "orcl", "scott", "tiger"};
    support::TDBInfoRec embedded{support::dbAccess, true, "/sets", 0, "", "", ""};
    params.DBInfos = {sql1, ora, sql2, embedded};
    EXPECT_FALSE(page.CanShow());

    Enter(page, *maker);
    // The last record of a kind fills its tab.
    EXPECT_TRUE(page.cbIntegrated);
    EXPECT_EQ(page.edtServer, "srv2");
    EXPECT_EQ(page.edtPort, "2433");
    EXPECT_EQ(page.ActivePage, tabMsSQL);
    EXPECT_EQ(page.edtServer_PL, "db1");
    EXPECT_EQ(page.edtPort_PL, "1521");
    EXPECT_EQ(page.edtSID_PL, "orcl");
    EXPECT_EQ(page.edtUser_PL, "scott");
    EXPECT_EQ(page.edtPassword_PL, "tiger");

    page.cbIntegrated = false;
    page.edtServer = "new";
    page.edtPort = "abc";
    page.edtUser = "u";
    page.edtPassword = "p";
    page.edtPort_PL = "x1";
    page.edtSID_PL = "prod";
    ASSERT_TRUE(page.LeavePage(params));
    const support::TDBInfoRec sqlNow{support::dbtMsSql, false, "new", 1433, "", "u", "p"};
    EXPECT_EQ(params.DBInfos[0], sqlNow);
    EXPECT_EQ(params.DBInfos[2], sqlNow);
    EXPECT_EQ(params.DBInfos[1],
              (support::TDBInfoRec{support::dbtOracle, false, "db1", 1521, "prod", "scott", "tiger"}));
    EXPECT_EQ(params.DBInfos[3], embedded);

    // The tests take their tab as it is; a port that is not a number is 0 there.
    EXPECT_EQ(page.TestRecord(support::dbtMsSql),
              (support::TDBInfoRec{support::dbtMsSql, false, "new", 0, "", "u", "p"}));
    EXPECT_EQ(page.TestRecord(support::dbtOracle).Port, 0);
    EXPECT_EQ(page.TestRecord(support::dbtOracle).SID, "prod");
}

TEST_F(MakerPagesTest, IntegratedLoginEmptiesAndDisablesUserAndPassword) {
    TDBInfoSetModel page;
    page.edtUser = "sa";
    page.edtPassword = "pw";
    page.cbIntegrated = true;
    page.cbIntegratedClick();
    EXPECT_EQ(page.edtUser, "");
    EXPECT_EQ(page.edtPassword, "");
    EXPECT_FALSE(page.UserPasswordEnabled);
    page.cbIntegrated = false;
    page.cbIntegratedClick();
    EXPECT_TRUE(page.UserPasswordEnabled);
    EXPECT_EQ(page.edtUser, "");
}

TEST_F(MakerPagesTest, TestButtonsOpenTheirServerAndTellTheOutcome) {
    auto maker = NewMaker();
    TDBInfoSetModel page;
    page.Manager = maker.get();
    auto database = std::make_shared<db::RecordingDatabase>();
    db::ScopedDriverOverride sql("SQLOLEDB", db::RecordingDriverFactory(database));
    db::ScopedDriverOverride oracle("OraOLEDB", db::RecordingDriverFactory(database));
    page.edtServer = "srv";
    page.edtUser = "sa";
    page.edtPassword = "pw";
    page.edtServer_PL = "db1";
    page.edtSID_PL = "orcl";
    page.edtUser_PL = "scott";
    page.edtPassword_PL = "tiger";

    EXPECT_TRUE(page.TestClick(support::dbtMsSql));
    EXPECT_TRUE(page.TestClick(support::dbtOracle));
    database->FailOpen("Login failed for user 'sa'.");
    EXPECT_FALSE(page.TestClick(support::dbtMsSql));

    EXPECT_EQ(Notices(), (Names{"数据库测试连接成功", "数据库测试连接成功", "Login failed for user 'sa'."}));
    for (const auto& call : ui_.Calls) EXPECT_EQ(call.owner, TBoxOwner::CurrentPage);
    Names opened;
    for (const auto& s : database->Log())
        if (s.kind == db::RecordedStatement::Open) opened.push_back(s.text);
    EXPECT_EQ(
        opened,
        (Names{
            "Provider=SQLOLEDB.1;Data Source=srv;User ID=sa;Password=pw;Persist Security Info=True",
            "Provider=OraOLEDB.Oracle.1;Data Source=orcl_db1;User ID=scott;Password=tiger;Persist Security "
            "Info=True",
            "Provider=SQLOLEDB.1;Data Source=srv;User ID=sa;Password=pw;Persist Security Info=True"}));
}

// ---- the build page ----

TEST_F(MakerPagesTest, BuildPageShowsThePatchFileAndTheVersionSwitches) {
    auto maker = NewMaker();
    auto& params = maker->ParamInfo();
    TPatchBuildModel page;
    EXPECT_EQ(page.lbTitle, "补丁制作");
    EXPECT_EQ(page.lbText, "在此功能界面可完成具体补丁内容的设置和制作");
    EXPECT_EQ(page.lbVersionInfo, "该补丁版本信息：\r\n    升级版本：无\r\n    适用版本：无");
    Enter(page, *maker);
    EXPECT_EQ(page.edtName, "Patch.exe");
    EXPECT_EQ(page.edtDir, Sub("prog") + "/");

    const struct {
        bool notCheck, notUpdate;
        const char* text;
    } cases[] = {
        {false, false, "该补丁版本升级方式：\r\n    校验版本号更新版本号"},
        {true, false, "该补丁版本升级方式：\r\n    不校验版本号更新版本号"},
        {false, true, "该补丁版本升级方式：\r\n    校验版本号不更新版本号"},
        {true, true, "该补丁版本升级方式：\r\n    不校验版本号不更新版本号"},
    };
    for (const auto& c : cases) {
        params.NotCheckVersion = c.notCheck;
        params.NotUpdateVersion = c.notUpdate;
        page.EnterPage(params);
        EXPECT_EQ(page.lbVersion, c.text);
    }
}

TEST_F(MakerPagesTest, BuildPageChecksInOrderAndNamesThePatchFile) {
    const std::string out = Sub("out") + "/";
    Sub("files");
    PutText("files/client.exe", "client");
    PutText("files/Update.mdb", "data");
    PutText("files/version.xml", "<v/>");
    const struct Case {
        std::string name;
        patch::TKVPatchType type;
        std::string edtName, edtDir;
        bool notCheck, notUpdate;
        bool userFile, dataFile, versionFile, node;
        std::string refusal;    // empty: the page may be left
        std::string patchFile;  // PatchFileName afterwards
    } cases[] = {
        {"no name", patch::ptBoth, "", out, true, true, true, false, false, true, "请输入要生成的补丁名称",
         ""},
        {"no folder", patch::ptBoth, "P", "", true, true, true, false, false, true,
         "请输入或者选择要生成的补丁的路径", ""},
        {"missing folder", patch::ptBoth, "P", out + "nowhere", true, true, true, false, false, true,
         "您输入的路径不存在，请确认", ""},
        // The name is taken before the later checks refuse.
        {"no version file", patch::ptBoth, "P", out, false, true, true, false, false, true, "请添加版本文件",
         out + "P.exe"},
        {"no version file needed", patch::ptBoth, "Patch.EXE", out, true, true, true, false, false, true, "",
         out + "Patch.EXE"},
        {"data and version files only", patch::ptProgram, "P", out, false, false, false, true, true, false,
         "您没有添加任何升级文件，请确认", out + "P.exe"},
        {"no account-set content", patch::ptInstance, "P", out, true, true, false, false, false, false,
         "您没有添加任何账套升级数据，请确认", out + "P.exe"},
        {"both: files first", patch::ptBoth, "P", out, true, true, false, false, false, false,
         "您没有添加任何升级文件，请确认", out + "P.exe"},
        {"both: then content", patch::ptBoth, "P", out, true, true, true, false, false, false,
         "您没有添加任何账套升级数据，请确认", out + "P.exe"},
        {"program patch", patch::ptProgram, "P", Sub("out"), false, false, true, true, true, false, "",
         out + "P.exe"},
        {"account-set patch", patch::ptInstance, "P", out, true, true, false, false, false, true, "",
         out + "P.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ui_.Calls.clear();
        auto maker = NewMaker();
        auto& params = maker->ParamInfo();
        params.PatchType = c.type;
        params.NotCheckVersion = c.notCheck;
        params.NotUpdateVersion = c.notUpdate;
        params.PatchFileName = "";
        if (c.userFile) maker->ResItems().AddFile(Dir() + "files/client.exe");
        if (c.dataFile) maker->ResItems().AddFile(Dir() + "files/Update.mdb").OptType = patch::otProgram;
        if (c.versionFile) maker->ResItems().AddFile(Dir() + "files/version.xml").OptType = patch::otVersion;
        if (c.node)
            maker->InstResItems().FindByNodeType(patch::pntQuery)->Create<patch::TNodeItem>().Tag =
                "QR_Element";
        TPatchBuildModel page;
        page.Manager = maker.get();
        page.edtName = c.edtName;
        page.edtDir = c.edtDir;
        EXPECT_EQ(page.LeavePage(params), c.refusal.empty());
        EXPECT_EQ(Notices(), c.refusal.empty() ? Names{} : Names{c.refusal});
        EXPECT_EQ(params.PatchFileName, c.patchFile);
    }
}

TEST_F(MakerPagesTest, BrowseStartsAtTheFolderAndTakesTheChoice) {
    auto maker = NewMaker();
    TPatchBuildModel page;
    page.Manager = maker.get();
    page.edtDir = "/somewhere/";
    ui_.Answers = {false};
    EXPECT_FALSE(page.btnBrowseClick());
    EXPECT_EQ(page.edtDir, "/somewhere/");
    ui_.Paths = {"/chosen"};
    EXPECT_TRUE(page.btnBrowseClick());
    EXPECT_EQ(page.edtDir, "/chosen");
    EXPECT_EQ(ui_.Texts(Kind::Folder), (Names{"选择保存路径", "选择保存路径"}));
}

TEST_F(MakerPagesTest, VersionSummaryByTheDescriptorsType) {
    patch::TPatchVersion v;
    v.ProgramNewTag = "P9";
    v.ProgramNewName = "程序九";
    v.InstanceNewTag = "A9";
    v.InstanceNewName = "账套九";
    v.ProgramVersions = {{"P7", "七"}, {"P8", "八"}};
    v.InstanceVersions = {{"A8", "八"}};
    const struct {
        std::uint8_t type;
        const char* text;
    } cases[] = {
        {0, "该补丁版本信息：\r\n    升级版本：无\r\n    适用版本：无"},
        {1,
         "该补丁版本信息：\r\n    升级版本：\r\n      （程序）P9—程序九\r\n    适用版本：\r\n      "
         "（程序）P7—七;P8—八"},
        {2,
         "该补丁版本信息：\r\n    升级版本：\r\n      （账套）A9—账套九\r\n    适用版本：\r\n      "
         "（账套）A8—八"},
        {3,
         "该补丁版本信息：\r\n    升级版本：\r\n      （程序）P9—程序九\r\n      （账套）A9—账套九\r\n    "
         "适用版本：\r\n      （程序）P7—七;P8—八\r\n      （账套）A8—八"},
    };
    for (const auto& c : cases) {
        v.Type = c.type;
        EXPECT_EQ(VersionSummary(v), c.text) << int{c.type};
    }
    v.Type = 1;
    v.ProgramVersions.clear();
    EXPECT_EQ(
        VersionSummary(v),
        "该补丁版本信息：\r\n    升级版本：\r\n      （程序）P9—程序九\r\n    适用版本：\r\n      （程序）");
}

TEST_F(MakerPagesTest, ImportedVersionFileIsValidatedAndReplacesTheFirst) {
    auto maker = NewMaker();
    maker->ParamInfo().PatchType = patch::ptProgram;
    TPatchBuildModel page;
    page.Manager = maker.get();
    // A file that does not exist passes the validation.
    EXPECT_TRUE(page.ValidateVersionFile(Dir() + "missing.xml"));
    EXPECT_TRUE(ui_.Calls.empty());

    const std::string v1 = Dir() + "v1.xml", v2 = Dir() + "v2.xml", both = Dir() + "both.xml",
                      bad = Dir() + "bad.xml";
    const std::string body =
        "<newVersion><tag>P9</tag><name>九</name></newVersion><versions><v><tag>P8</tag>"
        "<name>八</name></v></versions>";
    PutText("v1.xml", "<patch><type>1</type><program>" + body + "</program></patch>");
    PutText("v2.xml", "<patch><type>1</type><program>" + body + "</program><patchNo>2</patchNo></patch>");
    PutText("both.xml", "<patch><type>3</type></patch>");
    PutText("bad.xml", "<patch><type>1</type>");
    EXPECT_TRUE(page.ImportVersionFile(v1));
    EXPECT_EQ(
        page.lbVersionInfo,
        "该补丁版本信息：\r\n    升级版本：\r\n      （程序）P9—九\r\n    适用版本：\r\n      （程序）P8—八");
    EXPECT_TRUE(page.ImportVersionFile(v2));
    EXPECT_FALSE(page.ImportVersionFile(both));
    EXPECT_FALSE(page.ImportVersionFile(bad));
    // A file that is there but cannot be read (reading it fails even for root).
    EXPECT_FALSE(page.ImportVersionFile("/proc/self/mem"));
    EXPECT_EQ(Notices(), (Names{"版本文件补丁类型不匹配，请确认", "版本文件格式不正确，请确认",
                                "版本文件格式不正确，请确认"}));
    ASSERT_EQ(maker->ResItems().Count(), 1u);
    EXPECT_EQ(maker->ResItems().Item(0).Name, "v2.xml");
    EXPECT_EQ(maker->ResItems().Item(0).OptType, patch::otVersion);
}

class OpenPatchTest : public MakerPagesTest {
  protected:
    // A patch of both kinds: a program file, the two data files, one account-set node.
    std::string MakePatch() {
        auto maker = NewMaker();
        auto& params = maker->ParamInfo();
        params.PatchType = patch::ptBoth;
        params.NotCheckVersion = params.NotUpdateVersion = true;
        params.NeedFreeMemMB = 77;
        params.PatchFileName = Sub("made") + "/Made.exe";
        maker->ResItems().AddFile(File("client.exe", "client"));
        maker->ResItems().AddFile(File("Update.mdb", "rows")).OptType = patch::otProgram;
        maker->ResItems().AddFile(File("flow.fld", "chart")).OptType = patch::otProgram;
        maker->InstResItems().FindByNodeType(patch::pntQuery)->Create<patch::TNodeItem>().Tag = "QR_Element";
        EXPECT_TRUE(maker->WritePatchExecutable());
        return params.PatchFileName;
    }
    std::string File(const std::string& name, const std::string& content) {
        Sub("files");
        PutText("files/" + name, content);
        return Dir() + "files/" + name;
    }
};

TEST_F(OpenPatchTest, PatchOfTheSameTypeIsEditedWithoutItsDataFiles) {
    const std::string file = MakePatch();
    auto maker = NewMaker();
    auto& params = maker->ParamInfo();
    params.PatchType = patch::ptBoth;
    TPatchBuildModel page;
    Enter(page, *maker);

    // Cancel at the question: nothing is asked for or loaded.
    ui_.Answers = {false};
    EXPECT_FALSE(page.btnOpenPatchClick());
    EXPECT_EQ(ui_.Calls.size(), 1u);
    EXPECT_EQ(ui_.Calls[0].text, "打开原有补丁文件会清除您目前的设置，确定加载吗？");

    ui_.Answers = {true, true};
    ui_.Paths = {file};
    EXPECT_TRUE(page.btnOpenPatchClick());
    EXPECT_EQ(ui_.Texts(Kind::OpenFile), (Names{"程序补丁(*.exe)|*.exe"}));
    EXPECT_EQ(params.PatchFileName, file);
    EXPECT_EQ(page.edtName, "Made.exe");
    EXPECT_EQ(page.edtDir, Sub("made") + "/");
    EXPECT_TRUE(params.NotCheckVersion && params.NotUpdateVersion);
    EXPECT_EQ(params.NeedFreeMemMB, 77);
    ASSERT_EQ(maker->ResItems().Count(), 1u);
    EXPECT_EQ(maker->ResItems().Item(0).Name, "client.exe");
    EXPECT_EQ(maker->InstResItems().FindByNodeType(patch::pntQuery)->NodeCount(), 1u);
    EXPECT_TRUE(Notices().empty());
}

TEST_F(OpenPatchTest, PatchOfAnotherTypeLeavesNothingLoadedButItsParameters) {
    const std::string file = MakePatch();
    auto maker = NewMaker();
    auto& params = maker->ParamInfo();
    params.PatchType = patch::ptProgram;
    TPatchBuildModel page;
    Enter(page, *maker);
    EXPECT_FALSE(page.OpenPatch(file));
    EXPECT_EQ(Notices(), (Names{"该文件补丁类型不匹配，请确认"}));
    EXPECT_EQ(maker->ResItems().Count(), 0u);
    EXPECT_TRUE(maker->InstResItems().AllEmpty());
    EXPECT_EQ(params.NeedFreeMemMB, 77);
    EXPECT_EQ(params.PatchType, patch::ptProgram);
}

}  // namespace
}  // namespace kestrane::app
