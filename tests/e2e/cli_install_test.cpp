// kestrane-cli install of a patch that kestrane-cli build made from a small maker installation, into a
// second embedded installation made here; what it did is read back with SQLite itself.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "../app/install_site.h"
#include "cli_run.h"
#include "common/env_guard.h"
#include "sqlite_query.h"
#include "support/codepage.h"

namespace kestrane::testing {
namespace {

using nlohmann::json;

// A snapshot without the account row, which the organisation-unit page writes before the run.
Texts WithoutAccountRow(Texts rows) {
    rows.erase(std::remove_if(rows.begin(), rows.end(),
                              [](const std::string& row) { return row.rfind("Sys_Accounts: ", 0) == 0; }),
               rows.end());
    return rows;
}

class CliInstall : public InstallFolder {
  protected:
    void SetUp() override {
        InstallFolder::SetUp();
        registry_ = std::make_unique<EnvGuard>("KESTRANE_REGISTRY", Dir() + "etc/registry.reg");
        Sub("etc");
        const std::string sets = Sub("maker/sets");
        MakeAccountSet(sets, "SRC01", "来源账套", "{99999999-2222-3333-4444-555555555555}");
        FillDefinitionTables(sets + "/SRC01.mdb");
        ExecAll(sets + "/SRC01.mdb",
                {"create table BD_Region (Code varchar(10), Name varchar(20))",
                 "insert into BD_Region values ('N', '北方')", "drop view V_Customer",
                 "create view V_Customer as select ID, Name from BD_Customer where Region = 'N' and ID > 0"});
        Put("maker/lumo_bd_1_14.lmb",
            StoredValueFile(StoredFactories({EmbeddedFactory(1, sets, {"SRC01"})})));
        Sub("in");
        PutText("in/Kestrane.exe", "MZ stand-in program\n");
        PutText("in/readme.txt", "hello\n");
        PutText("in/version.xml", kInstallDescriptor);
        Sub("out");
        MakeSite(Site());
    }

    std::string Site() const { return Dir() + "site/"; }
    std::string SiteSet(const std::string& name) const { return Site() + "sets/" + name + ".mdb"; }
    void Registry(const std::string& folder) const {
        PutText("etc/registry.reg",
                "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\r\n\"AppInstallPath\"=\"" +
                    folder + "\"\r\n");
    }

    json Manifest() const {
        return json::parse(R"({
          "patchType": "both", "versionFile": "version.xml", "output": "../out/Patch",
          "files": [{"path": "readme.txt", "relPath": "\\doc"}],
          "source": "SRC01",
          "content": [
            {"kind": "bill", "tag": "1429"},
            {"kind": "reCst", "tag": "QEL_InstElmnt", "Text": " and SvcID > 5"},
            {"kind": "reCst", "tag": "bd_Archive"},
            {"kind": "table", "tag": "BD_Customer", "Text": " and Region = 'N'"},
            {"kind": "table", "tag": "BD_Region", "TableType": "structure"},
            {"kind": "view", "tag": "V_Customer"},
            {"kind": "script", "caption": "整理", "Text": "update JC_TableDict set Subject = Subject"}
          ]
        })");
    }

    std::string Build(const json& manifest) {
        Registry(Dir() + "maker/");
        PutText("in/manifest.json", manifest.dump());
        const CliRun r = Cli({"build", Dir() + "in/manifest.json", "--program", Dir() + "in/Kestrane.exe"});
        EXPECT_EQ(r.status, 0) << r.err;
        return Dir() + "out/Patch.exe";
    }
    CliRun Install(std::vector<std::string> args) {
        Registry(Site());
        args.insert(args.begin(), "install");
        return Cli(args);
    }
    CliRun Cli(const std::vector<std::string>& args) const { return RunCli(args, Sub("cli") + "/"); }

    std::unique_ptr<EnvGuard> registry_;
};

TEST_F(CliInstall, PatchMadeByBuildInstallsWithYesIntoTheSecondInstallation) {
    const std::string patchFile = Build(Manifest());
    const Texts before = Snapshot(SiteSet("TGT01"));
    const CliRun r =
        Install({patchFile, "--all-sets", "--org", "TGT01=01", "--org", "TGT02=0101", "--yes", "--json"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    const json j = json::parse(r.out);
    EXPECT_EQ(j["format"], "kestrane-install/1");
    EXPECT_EQ(j["outcome"], "completed");
    EXPECT_EQ(j["flags"], 2);
    EXPECT_EQ(j["stoppedBy"], nullptr);
    EXPECT_EQ(j["versionsStamped"], true);
    EXPECT_EQ(j["installDir"], Site());
    ASSERT_EQ(j["accountSets"].size(), 2u);
    EXPECT_EQ(j["accountSets"][1]["dbName"], "TGT02");
    EXPECT_EQ(j["accountSets"][1]["outcome"], "upgraded");
    EXPECT_EQ(j["accountSets"][1]["server"]["kind"], "embedded");
    EXPECT_EQ(j["questions"][0]["text"],
              "您是否确定如下选择：\r\n    【目标账套1】帐套组织机构：总部\r\n    "
              "【目标账套2】帐套组织机构：财务部");
    EXPECT_NE(
        std::find(j["log"].begin(), j["log"].end(), "升级账套“目标账套2”的“单据_JC_BillFormat”信息【成功】"),
        j["log"].end());
    // With --json the outcome alone: no progress on standard error.
    EXPECT_EQ(r.err.find("正在升级账套"), std::string::npos) << r.err;

    // Files placed, rows as the patch says, the view recreated, the structure-only table's rows kept.
    EXPECT_EQ(Slurp(Site() + "doc/readme.txt"), "hello\n");
    EXPECT_FALSE(fs::exists(Site() + "Update.mdb"));
    for (const char* set : {"TGT01", "TGT02"}) {
        SCOPED_TRACE(set);
        const std::string file = SiteSet(set);
        EXPECT_EQ(Query(file, "select BillName from JC_BillFormat where RwID in (1429, 2000) order by RwID"),
                  (Texts{"采购单", "采购子单"}));
        EXPECT_EQ(Query(file, "select ID from BD_Customer order by ID"), (Texts{"1", "2", "3", "8"}));
        EXPECT_EQ(Query(file, "select Code from BD_Region"), Texts{"W"});
        EXPECT_EQ(
            Query(file, "select sql from sqlite_master where name = 'V_Customer'"),
            Texts{
                "CREATE VIEW V_Customer as select ID, Name from BD_Customer where Region = 'N' and ID > 0"});
        EXPECT_EQ(Query(file, "select ZTVersion from Sys_Accounts"), Texts{"8.2"});
        EXPECT_EQ(Query(file, "select count(*) from QEL_InstElmnt where InstID is null"), Texts{"0"});
    }
    EXPECT_EQ(Query(SiteSet("TGT02"), "select ZTOrgID, ZTUnitName from Sys_Accounts"), Texts{"2|财务部"});
    EXPECT_NE(Slurp(Site() + "Update.upf").find("pf_version=R2.3"), std::string::npos);
    // Rights: the member replaced the central one of its code and was granted its account set.
    const std::string central = Site() + "sets/NXCentre.mdb";
    EXPECT_EQ(Query(central, "select UID, Code from CERT_Member"), Texts{std::string(31, '0') + "1|M1"});
    EXPECT_EQ(Query(central, "select UserID, ResType, ACK, Falg from Cert_ACL"),
              Texts{std::string(31, '0') + "1|11|1|3"});
    // The upgrade log and the backups.
    const std::string log = support::Cp936ToUtf8(Slurp(Site() + "PatchLog.log"));
    EXPECT_NE(log.find("[升级时间："), std::string::npos);
    EXPECT_NE(log.find("升级账套“目标账套1”的“重构_更新实例ID”信息【成功】"), std::string::npos) << log;
    const std::string backup = j["accountSets"][0]["backupFile"];
    EXPECT_EQ(backup.rfind(Site() + "BackUp/EMBEDDED/目标账套1", 0), 0u);
    EXPECT_EQ(WithoutAccountRow(Snapshot(backup)), WithoutAccountRow(before));

    // Upgraded once, the account sets no longer fit the patch.
    const CliRun again = Install({patchFile, "--sets", "TGT01", "--org", "TGT01=01", "--yes"});
    EXPECT_EQ(again.status, 1);
    EXPECT_NE(again.err.find("stopped by the refusal: 该补丁不适合账套[目标账套1]的版本号，无法对其升级"),
              std::string::npos);
}

TEST_F(CliInstall, FailingStepRestoresTheAccountSetAndExitsOne) {
    json manifest = Manifest();
    manifest["content"].push_back(
        {{"kind", "script"}, {"caption", "坏脚本"}, {"Text", "update NoSuchTable set x = 1"}});
    const std::string patchFile = Build(manifest);
    const Texts before[] = {Snapshot(SiteSet("TGT01")), Snapshot(SiteSet("TGT02"))};
    const CliRun r =
        Install({patchFile, "--all-sets", "--org", "TGT01=01", "--org", "TGT02=01", "--yes", "--json"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("kestrane-cli: the install failed"), std::string::npos) << r.err;
    const json j = json::parse(r.out);
    EXPECT_EQ(j["outcome"], "failed");
    EXPECT_EQ(j["flags"], 4);
    EXPECT_EQ(j["versionsStamped"], false);
    EXPECT_EQ(j["accountSets"][0]["outcome"], "failed-restored");
    EXPECT_NE(j["accountSets"][0]["message"].get<std::string>().find(
                  "升级账套“目标账套1”的“脚本_坏脚本”信息【失败】"),
              std::string::npos);
    EXPECT_EQ(j["accountSets"][1]["outcome"], "not-reached");
    EXPECT_NE(std::find(j["detailLog"].begin(), j["detailLog"].end(), "[目标账套1]账套还原【成功】"),
              j["detailLog"].end());
    // The organisation units were written by their page before the run; everything else is as it was.
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(WithoutAccountRow(Snapshot(SiteSet(i == 0 ? "TGT01" : "TGT02"))),
                  WithoutAccountRow(before[i]))
            << i;
    EXPECT_EQ(Query(SiteSet("TGT01"), "select ZTVersion, ZTOrgID from Sys_Accounts"), Texts{"8.1|1"});
}

TEST_F(CliInstall, StopsSayWhyAndBadUsageExitsTwo) {
    const std::string patchFile = Build(Manifest());
    const Texts before = Snapshot(SiteSet("TGT02"));
    const struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        std::string message;  // on standard error
    } cases[] = {
        {"a question answered Cancel",
         {patchFile, "--sets", "TGT02", "--org", "TGT02=01"},
         1,
         "kestrane-cli: stopped by the question: 您是否确定如下选择：\r\n    【目标账套2】帐套组织机构："},
        {"an account set without its unit",
         {patchFile, "--sets", "TGT02", "--yes"},
         1,
         "kestrane-cli: stopped by the refusal: 下列帐套未选择组织机构，请选择：\r\n    "
         "\r\n【目标账套2】帐套组织机构：未选择组织机构，请选择！"},
        {"no choice among two",
         {patchFile, "--yes"},
         2,
         "--sets or --all-sets is required: the installation has TGT01, TGT02"},
        {"an unknown account set",
         {patchFile, "--sets", "TGT09"},
         2,
         "no account set TGT09 in the installation"},
        {"both choices", {patchFile, "--sets", "TGT01", "--all-sets"}, 2, "excludes"},
        {"an unknown unit",
         {patchFile, "--sets", "TGT02", "--org", "TGT02=77"},
         2,
         "the account set TGT02 has no organisation unit 77"},
        {"a unit without its set", {patchFile, "--org", "TGT02"}, 2, "--org: must be DBNAME=STDCODE"},
        {"a unit of no account set",
         {patchFile, "--sets", "TGT02", "--org", "TGT02=01", "--org", "NOPE=0102", "--yes"},
         2,
         "--org: the account set NOPE is not among the chosen ones (TGT02)"},
        {"a unit of an account set not chosen",
         {patchFile, "--sets", "TGT02", "--org", "TGT01=01", "--org", "TGT02=01", "--yes"},
         2,
         "--org: the account set TGT01 is not among the chosen ones (TGT02)"},
        {"no such patch", {Dir() + "out/none.exe"}, 2, "no such file"},
        {"a file without a patch", {Dir() + "in/readme.txt"}, 2, "carries no patch"},
        {"no such folder", {patchFile, "--install-dir", Dir() + "gone"}, 2, "--install-dir: no such folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CliRun r = Install(c.args);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    // The stop without --yes, in JSON: which question, and nothing installed.
    const CliRun r = Install({patchFile, "--sets", "TGT02", "--org", "TGT02=01", "--json"});
    const json j = json::parse(r.out);
    EXPECT_EQ(j["outcome"], "stopped");
    EXPECT_EQ(j["flags"], 0);
    EXPECT_EQ(j["stoppedBy"]["kind"], "question");
    EXPECT_EQ(j["questions"][0]["answer"], false);
    EXPECT_EQ(j["accountSets"][1]["outcome"], "not-reached");
    EXPECT_EQ(j["exitCode"], 1);
    EXPECT_EQ(Snapshot(SiteSet("TGT02")), before);
    EXPECT_FALSE(fs::exists(Site() + "doc/readme.txt"));
}

TEST_F(CliInstall, InstallDirOptionNamesTheInstallation) {
    const std::string patchFile = Build(Manifest());
    PutText("etc/registry.reg", "REGEDIT4\r\n");
    const CliRun r = Cli({"install", patchFile, "--install-dir", Dir() + "site", "--sets", "TGT02", "--org",
                          "TGT02=01", "--yes", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(json::parse(r.out)["installDir"], Site());
    EXPECT_EQ(Query(SiteSet("TGT02"), "select ZTVersion from Sys_Accounts"), Texts{"8.2"});

    // The text form: the full log, the outcome, each chosen account set.
    const CliRun text = Cli({"install", patchFile, "--install-dir", Dir() + "site", "--sets", "TGT01",
                             "--org", "TGT01=01", "--yes"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out.rfind("程序文件“readme.txt”升级【成功】\n", 0), 0u) << text.out;
    EXPECT_NE(
        text.out.find("\noutcome: completed (flags 2)\naccount set TGT01 (目标账套1): upgraded, backup " +
                      Site() + "BackUp/EMBEDDED/目标账套1"),
        std::string::npos)
        << text.out;
}

}  // namespace
}  // namespace kestrane::testing
