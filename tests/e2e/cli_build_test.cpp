// kestrane-cli build on a small maker installation made here (registry file, store files, an embedded
// account set), then the patch looked at as a user would: inspect, its resources, and the data file
// written out by decode and read with SQLite itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "../app/source_account_set.h"
#include "../product/install_folder.h"
#include "cli_run.h"
#include "common/env_guard.h"
#include "sqlite_query.h"

namespace kestrane::testing {
namespace {

using nlohmann::json;
using Names = std::vector<std::string>;

// SHA-256 of "hello\n".
constexpr char kShaHello[] = "5891b5b522d5df086d0ff0b110fbd9d21bb4fc7163af34d08286a2e846f6be03";

class CliBuild : public InstallFolder {
  protected:
    void SetUp() override {
        InstallFolder::SetUp();
        registry_ = std::make_unique<EnvGuard>("KESTRANE_REGISTRY", Dir() + "etc/registry.reg");
        Sub("etc");
        PutText("etc/registry.reg",
                "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\r\n\"AppInstallPath\"=\"" +
                    Dir() + "\"\r\n");
        const std::string sets = Sub("sets");
        for (const char* name : {"SRC01", "SRC02"}) {
            MakeAccountSet(sets, name, std::string("账套") + name, "{11111111-2222-3333-4444-555555555555}");
            FillDefinitionTables(sets + "/" + name + ".mdb");
        }
        PutValue(1, 14, StoredFactories({EmbeddedFactory(1, sets, {"SRC01", "SRC02"})}));
        Sub("in");
        PutText("in/Kestrane.exe", "MZ stand-in program\n");
        PutText("in/readme.txt", "hello\n");
        PutText("in/setup.bat", "echo %1\r\n");
        PutText("in/main.fld", "chart");
        Sub("out");
    }

    // The manifest every test starts from: a patch of both kinds from SRC02.
    json Manifest() const {
        return json::parse(R"({
          "patchType": "both", "notCheckVersion": true, "notUpdateVersion": true, "notBackup": true,
          "output": "../out/Made", "description": "修正若干问题", "needFreeMemMB": 64, "needFreeDiskMB": 300,
          "closeFileNames": "a.exe-程序A,b.exe",
          "files": [{"path": "readme.txt", "relPath": "\\doc"},
                    {"path": "setup.bat", "action": "execute", "wait": true, "param": "%PATH%", "delay": 250}],
          "source": "SRC02",
          "content": [
            {"kind": "bill", "tag": "1429"},
            {"kind": "query", "tag": "QR_Element"},
            {"kind": "reCst", "tag": "QEL_InstElmnt", "Text": " and SvcID > 5"},
            {"kind": "reCst", "tag": "bd_archive"},
            {"kind": "baseData", "tag": "*"},
            {"kind": "deskFlow", "file": "main.fld"},
            {"kind": "table", "tag": "BD_Customer", "Text": " and Region = 'N'", "AfterSQL": "update BD_Customer set Name = Name"},
            {"kind": "table", "tag": "JC_SysOptInfo", "TableType": "structure"},
            {"kind": "view", "tag": "V_Customer"},
            {"kind": "script", "caption": "整理", "Text": "delete from BD_Customer where 1=0", "SQLExecType": "check"}
          ],
          "descriptions": {"bill": "新单据格式", "table": "客户资料"}
        })");
    }

    CliRun Build(const json& manifest,
                 const std::vector<std::string>& extra = {"--program", "Kestrane.exe"}) {
        PutText("in/manifest.json", manifest.dump());
        std::vector<std::string> args{"build", Dir() + "in/manifest.json"};
        for (const auto& a : extra) args.push_back(a == "Kestrane.exe" ? Dir() + "in/Kestrane.exe" : a);
        return RunCli(args, Sub("cli") + "/");
    }
    CliRun Cli(const std::vector<std::string>& args) const { return RunCli(args, Sub("cli") + "/"); }

    std::unique_ptr<EnvGuard> registry_;
};

TEST_F(CliBuild, BuildsThePatchTheWizardWouldAndInspectShowsIt) {
    const CliRun built = Build(Manifest());
    ASSERT_EQ(built.status, 0) << built.err;
    const std::string patchFile = Dir() + "out/Made.exe";
    EXPECT_EQ(built.out, "patch written: " + patchFile + "\n");
    EXPECT_NE(built.err.find("[13/20] 正在将账套[账套SRC02]的“单据”信息加载到补丁程序……"), std::string::npos)
        << built.err;
    EXPECT_NE(built.err.find("已完成文件与信息压缩"), std::string::npos);
    // The data file was gathered apart from the program.
    EXPECT_FALSE(fs::exists(Dir() + "in/Update.mdb"));

    const CliRun resources = Cli({"resources", patchFile, "--json"});
    ASSERT_EQ(resources.status, 0);
    Names names;
    for (const auto& r : json::parse(resources.out)) names.push_back(r["name"]);
    EXPECT_EQ(names, (Names{"PARAMDATA", "FILEDATA", "INSTDATA"}));

    const CliRun inspected = Cli({"inspect", patchFile, "--json"});
    ASSERT_EQ(inspected.status, 0) << inspected.err;
    const json j = json::parse(inspected.out);
    EXPECT_EQ(j["type"], "ptBoth");
    EXPECT_EQ(j["switches"],
              json::parse(R"({"NotCheckVersion": true, "NotUpdateVersion": true, "NotBackup": true})"));
    EXPECT_EQ(j["version"], nullptr);
    EXPECT_EQ(j["description"], "修正若干问题");
    ASSERT_EQ(j["files"].size(), 4u);
    EXPECT_EQ(j["files"][0]["Name"], "readme.txt");
    EXPECT_EQ(j["files"][0]["OptType"], "otCopy");
    EXPECT_EQ(j["files"][0]["RelPath"], "\\doc");
    EXPECT_EQ(j["files"][0]["size"], 6);
    EXPECT_EQ(j["files"][0]["sha256"], kShaHello);
    EXPECT_EQ(j["files"][1]["OptType"], "otExecute");
    EXPECT_EQ(j["files"][1]["Param"], "%PATH%");
    EXPECT_EQ(j["files"][1]["Waiting"], true);
    EXPECT_EQ(j["files"][1]["DelayTime"], 250);
    EXPECT_EQ(j["files"][2]["Name"], "main.fld");
    EXPECT_EQ(j["files"][2]["OptType"], "otProgram");
    EXPECT_EQ(j["files"][3]["Name"], "Update.mdb");
    EXPECT_EQ(j["parameters"]["NeedFreeMemMB"], 64);
    EXPECT_EQ(j["parameters"]["NeedFreeDiskMB"], 300);
    EXPECT_EQ(j["parameters"]["NeedCloseFileNames"], "a.exe-程序A,b.exe");

    ASSERT_EQ(j["items"].size(), 10u);
    auto nodes = [&](std::size_t item) { return j["items"][item]["nodes"]; };
    EXPECT_EQ(j["items"][2]["description"], "新单据格式");
    EXPECT_EQ(nodes(1).size(), 2u);
    EXPECT_EQ(nodes(1)[0]["Text"], " and SvcID > 5");
    EXPECT_EQ(nodes(1)[1]["Tag"], "bd_Archive");
    EXPECT_EQ(nodes(2)[0]["Tag"], "1429");
    EXPECT_EQ(nodes(5).size(), 2u);
    EXPECT_EQ(nodes(6)[0]["Tag"], "main.fld");
    EXPECT_EQ(nodes(6)[0]["Text"], Dir() + "in/main.fld");
    EXPECT_EQ(nodes(7)[0]["class"], "TNodeTableItem");
    EXPECT_EQ(nodes(7)[0]["Text"], " and Region = 'N'");
    EXPECT_EQ(nodes(7)[0]["AfterSQL"], "update BD_Customer set Name = Name");
    EXPECT_EQ(nodes(7)[1]["TableType"], "ttStructure");
    EXPECT_EQ(j["items"][7]["description"], "客户资料");
    EXPECT_EQ(nodes(8)[0]["Reservs"], "VIEW");
    EXPECT_EQ(nodes(9)[0]["Caption"], "整理");
    EXPECT_EQ(nodes(9)[0]["SQLExecType"], "seCheck");

    // The data file the patch carries, written out and read with SQLite itself.
    ASSERT_EQ(Cli({"extract", patchFile, "FILEDATA", "-o", Dir() + "filedata.bin"}).status, 0);
    const CliRun decoded = Cli({"decode", Dir() + "filedata.bin", "--files", Dir() + "files"});
    ASSERT_EQ(decoded.status, 0) << decoded.err;
    const std::string data = Dir() + "files/Update.mdb";
    EXPECT_EQ(Query(data, "select RwID from JC_BillFormat order by RwID"), (Names{"1429", "2000"}));
    EXPECT_EQ(Query(data, "select BillType from JC_DJBHGZ"), (Names{"1429"}));
    EXPECT_EQ(Query(data, "select SvcID from QEL_InstElmnt"), (Names{"7"}));
    EXPECT_EQ(Query(data, "select ID from BD_Customer order by ID"), (Names{"1", "3"}));
    EXPECT_EQ(Query(data, "select CategoryID from JC_TableDict order by 1"), (Names{"10", "20"}));
    // Structure only: the restructured table and the table copied without its rows.
    EXPECT_EQ(Query(data, "select count(*) from bd_Archive"), (Names{"0"}));
    EXPECT_EQ(Query(data,
                    "select COLUMN_NAME from DSColumnDefine where TABLE_NAME = 'bd_Archive' order by "
                    "ORDINAL_POSITION"),
              (Names{"ID", "Note"}));
    // The two closing tables: every right, and the bill option rows with the multi-option row.
    EXPECT_EQ(Query(data, "select FunName from Sys_PurFunRes order by FunID"), (Names{"录入", "审核"}));
    EXPECT_EQ(Query(data, "select StdCode from JC_SysOptInfo order by RwID"),
              (Names{"GD_BillCfgMsg1429", "GD_BillMultiOptCfgMsg"}));
    EXPECT_EQ(Query(data, "select count(*) from sqlite_master where type = 'view'"), (Names{"0"}));

    // The text form names the same.
    const CliRun text = Cli({"inspect", patchFile});
    ASSERT_EQ(text.status, 0);
    EXPECT_NE(text.out.find("type: ptBoth\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("  1. readme.txt  otCopy  6 bytes  sha256 " + std::string(kShaHello)),
              std::string::npos);
}

TEST_F(CliBuild, RefusalsExitOneAndBadManifestsTwoNamingTheKey) {
    const struct Case {
        std::string name;
        std::function<void(json&)> change;
        int status;
        std::string message;
    } cases[] = {
        {"not an object", [](json& m) { m = json::array(); }, 2, "manifest: must be a JSON object"},
        {"unknown key", [](json& m) { m["outptu"] = "x"; }, 2, "outptu: unknown key"},
        {"no output", [](json& m) { m.erase("output"); }, 2, "output: is required"},
        {"bad type", [](json& m) { m["patchType"] = "all"; }, 2, "patchType: must be one of \"program\""},
        {"bad delay", [](json& m) { m["files"][1]["delay"] = 2000000; }, 2,
         "files[1].delay: must be a whole number"},
        {"missing file", [](json& m) { m["files"][0]["path"] = "gone.txt"; }, 2,
         "files[0].path: no such file"},
        {"no source", [](json& m) { m.erase("source"); }, 2,
         "source: is required: the installation has SRC01, SRC02"},
        {"unknown source", [](json& m) { m["source"] = "SRC09"; }, 2, "source: no account set SRC09"},
        {"unknown tag", [](json& m) { m["content"][0]["tag"] = "9999"; }, 2,
         "content[0].tag: unknown tag \"9999\""},
        {"member of another node", [](json& m) { m["content"][0]["Text2"] = "x"; }, 2,
         "content[0].Text2: a TNodeItem has no Text2"},
        {"script without caption", [](json& m) { m["content"][9].erase("caption"); }, 2,
         "content[9].caption: is required for a script"},
        {"content of a program patch", [](json& m) { m["patchType"] = "program"; }, 2,
         "content: a program patch carries no account-set content"},
        {"version file asked for", [](json& m) { m.erase("notCheckVersion"); }, 1,
         "kestrane-cli: 请添加版本文件"},
        {"no account-set content", [](json& m) { m.erase("content"); }, 1,
         "kestrane-cli: 您没有添加任何账套升级数据，请确认"},
        {"no program files",
         [](json& m) {
             m.erase("files");
             m.erase("description");
         },
         1, "kestrane-cli: 您没有添加任何升级文件，请确认"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        json manifest = Manifest();
        c.change(manifest);
        const CliRun r = Build(manifest);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_FALSE(fs::exists(Dir() + "out/Made.exe"));
    }
    PutText("in/bad.json", "{\"output\": ");
    const CliRun r = Cli({"build", Dir() + "in/bad.json"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("is not JSON"), std::string::npos) << r.err;
}

TEST_F(CliBuild, ExistingPatchIsOverwrittenOnlyWithYes) {
    PutText("out/Made.exe", "older patch");
    const CliRun refused = Build(Manifest());
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("已经存在相同名称的补丁，确定覆盖吗？ (not overwritten; give --yes)"),
              std::string::npos)
        << refused.err;
    EXPECT_EQ(Slurp(Dir() + "out/Made.exe"), "older patch");

    const CliRun built = Build(Manifest(), {"--program", "Kestrane.exe", "--yes"});
    ASSERT_EQ(built.status, 0) << built.err;
    EXPECT_EQ(Slurp(Dir() + "out/Made.exe").rfind("MZ stand-in program\n", 0), 0u);
}

#ifdef KESTRANE_EXE
// A large file in one read.
std::string ReadWhole(const std::string& path) {
    std::string bytes(fs::file_size(path), '\0');
    std::ifstream(path, std::ios::binary).read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// Without --program the patch is a copy of the program of the build tree.
TEST_F(CliBuild, ProgramOfTheBuildTreeIsCopiedWithoutProgramOption) {
    json manifest = Manifest();
    manifest["patchType"] = "program";
    manifest.erase("content");
    manifest.erase("descriptions");
    const CliRun built = Build(manifest, {});
    ASSERT_EQ(built.status, 0) << built.err;
    const std::string program = ReadWhole(KESTRANE_EXE);
    const std::string patch = ReadWhole(Dir() + "out/Made.exe");
    ASSERT_GT(patch.size(), program.size());
    EXPECT_EQ(patch.compare(0, program.size(), program), 0);
}
#endif

}  // namespace
}  // namespace kestrane::testing
