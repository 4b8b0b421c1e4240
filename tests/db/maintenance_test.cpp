#include "db/maintenance.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "../common/env_guard.h"
#include "common/expect_error.h"
#include "db/connect.h"
#include "db_test_util.h"

using namespace kestrane::db;
using namespace kestrane::db::testing;
using kestrane::support::dbAccess;
using kestrane::support::dbtMsSql;
using kestrane::support::dbtOracle;
using kestrane::support::TDBInfoRec;
using kestrane::testing::FailsWith;
using Texts = std::vector<std::string>;

namespace {

unsigned ModeOf(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 0777u;
}

TEST(ParamIni, SixKeysForTheRestoreProgramReadableByTheOwnerOnly) {
    TempDir dir;
    const std::string file = dir.File("KV_Param.ini");
    WriteFile(file, "; written by the product\r\n[Other]\r\nKeep=1\r\n");
    ::chmod(file.c_str(), 0644);
    const TDBInfoRec first{dbtMsSql, true, "SRV1", 1433, "", "", "secret 1"};
    WriteParamIni(dir.path().string(), "/opt/Lumo/BackUp/MSSQL/甲2010-05-20 1430.jbk", "LUMO01", first);
    const TDBInfoRec second{dbtMsSql, false, "SRV2", 1433, "", "sa", "pa'ss"};
    WriteParamIni(dir.path().string() + "/", "/b.jbk", "LUMO02", second);
    EXPECT_EQ(
        ReadFile(file),
        "; written by the product\r\n[Other]\r\nKeep=1\r\n[DBSection]\r\nServer=SRV2\r\nDBName=LUMO02\r\n"
        "User=sa\r\nPsw=pa'ss\r\nIntegrated=0\r\nBackFile=/b.jbk\r\n");
    EXPECT_EQ(ModeOf(file), 0600u);

    const std::string fresh = dir.File("new/");
    std::filesystem::create_directories(fresh);
    WriteParamIni(fresh, "/opt/Lumo/BackUp/MSSQL/甲2010-05-20 1430.jbk", "LUMO01", first);
    EXPECT_EQ(ModeOf(fresh + "KV_Param.ini"), 0600u);
    const std::string text = ReadFile(fresh + "KV_Param.ini");
    EXPECT_NE(text.find("Psw=secret 1\r\nIntegrated=-1\r\n"), std::string::npos);
    // The restore program reads the file in the product's code page.
    EXPECT_NE(text.find("BackFile=/opt/Lumo/BackUp/MSSQL/\xBC\xD7"
                        "2010-05-20 1430.jbk"),
              std::string::npos);
}

const TDBInfoRec kSqlServer{dbtMsSql, false, "SRV", 1433, "", "sa", "pw"};

TEST(SqlServerMaintenance, RestoreThroughMasterWithThePathQuoted) {
    EXPECT_EQ(BackupDatabaseStatement("LUMO]01", "C:/Lumo/BackUp/MSSQL/O'Brien2010-05-20 1430.jbk"),
              "backup database [LUMO]]01] to disk = 'C:/Lumo/BackUp/MSSQL/O''Brien2010-05-20 1430.jbk'");
    RecordingServers servers;
    RestoreDatabase("/b/O'Brien.jbk", "", "LUMO01", kSqlServer);
    const auto& log = servers.db->Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[0].kind, RecordedStatement::Open);
    EXPECT_NE(log[0].text.find(";Initial Catalog=master"), std::string::npos);
    EXPECT_EQ(servers.db->Statements(), Texts{"RESTORE database [LUMO01] FROM disk = '/b/O''Brien.jbk'"});
    EXPECT_EQ(log.back().kind, RecordedStatement::Close);

    servers.db->OnFail("RESTORE", "Exclusive access could not be obtained because the database is in use.",
                       true);
    EXPECT_TRUE(
        FailsWith<EDatabaseError>([] { RestoreDatabase("/b.jbk", "", "LUMO01", kSqlServer); },
                                  "Exclusive access could not be obtained because the database is in use."));
}

TEST(SqlServerMaintenance, RepairLeavesSingleUserModeAlsoWhenTheCheckFails) {
    const Texts all = {"sp_dboption 'O''Neil', 'single user', true",
                       "DBCC CHECKDB ('O''Neil', REPAIR_ALLOW_DATA_LOSS)",
                       "sp_dboption 'O''Neil', 'single user', false"};
    {
        RecordingServers servers;
        RepairDatabase("O'Neil", kSqlServer);
        EXPECT_EQ(servers.db->Statements(), all);
    }
    {
        RecordingServers servers;
        servers.db->OnFail("DBCC", "Repair failed.", true);
        EXPECT_THROW(RepairDatabase("O'Neil", kSqlServer), EDatabaseError);
        EXPECT_EQ(servers.db->Statements(), all);
    }
    {
        RecordingServers servers;
        servers.db->OnFail("sp_dboption 'O''Neil', 'single user', true", "The database is in use.");
        EXPECT_THROW(RepairDatabase("O'Neil", kSqlServer), EDatabaseError);
        EXPECT_EQ(servers.db->Statements(), Texts{all[0]});
    }
}

// exp and imp of our own first on PATH: each writes its arguments, one a line, to <name>.args and
// ends with the status in <name>.rc.
class OracleUtilities : public ::testing::Test {
  protected:
    void SetUp() override {
        for (const char* name : {"exp", "imp"}) {
            const std::string script = dir.File(std::string("bin/") + name);
            WriteFile(
                script,
                std::string("#!/bin/sh\nd=$(dirname \"$0\")\nfor a in \"$@\"; do echo \"$a\"; done > \"$d/") +
                    name + ".args\"\nexit $(cat \"$d/" + name + ".rc\")\n");
            ::chmod(script.c_str(), 0700);
            WriteFile(dir.File(std::string("bin/") + name + ".rc"), "0");
        }
    }
    Texts Args(const char* name) const {
        Texts lines;
        std::string text = ReadFile(dir.File(std::string("bin/") + name + ".args"));
        for (std::size_t at; (at = text.find('\n')) != std::string::npos; text.erase(0, at + 1))
            lines.push_back(text.substr(0, at));
        return lines;
    }

    TempDir dir;
    kestrane::testing::EnvGuard path{"PATH", dir.File("bin") + ":/usr/bin:/bin"};
    const TDBInfoRec server{dbtOracle, false, "db1", 1521, "orcl", "system", "pw"};
    const std::string dump = "/opt/Lumo/BackUp/ORACLE/甲2010-05-20 1430.dmp";
    const std::string log = "/opt/Lumo/BackUp/ORACLE/甲2010-05-20 1430.log";
};

TEST_F(OracleUtilities, ExportAndImportRunWithTheirCommandLinesAndAreWaitedFor) {
    EXPECT_EQ(OracleExportCommandLine("LUMO01", server, dump, log),
              "exp LUMO01/pw@orcl_db1 owner=LUMO01 file='" + dump + "' log='" + log + "'");
    ExportOracleDatabase("LUMO01", server, dump, log);
    EXPECT_EQ(Args("exp"),
              (Texts{"LUMO01/pw@orcl_db1", "owner=LUMO01", "file='" + dump + "'", "log='" + log + "'"}));

    EXPECT_EQ(OracleImportCommandLine("LUMO01", server, dump, log),
              "imp LUMO01/pw@orcl_db1 file='" + dump + "' log='" + log + "' full=y ignore=y");
    RestoreDatabase(dump, log, "LUMO01", server);
    EXPECT_EQ(Args("imp"), (Texts{"LUMO01/pw@orcl_db1", "file='" + dump + "'", "log='" + log + "'", "full=y",
                                  "ignore=y"}));
}

TEST_F(OracleUtilities, AFailedOrMissingUtilityIsAFailure) {
    WriteFile(dir.File("bin/exp.rc"), "1");
    EXPECT_TRUE(FailsWith<EDatabaseError>([&] { ExportOracleDatabase("LUMO01", server, dump, log); },
                                          "程序【exp】执行失败，返回值为1，详细信息见日志文件：" + log));
    WriteFile(dir.File("bin/imp.rc"), "3");
    EXPECT_THROW(RestoreDatabase(dump, log, "LUMO01", server), EDatabaseError);

    std::filesystem::remove(dir.File("bin/imp"));
    EXPECT_TRUE(FailsWith<EDatabaseError>([&] { RestoreDatabase(dump, log, "LUMO01", server); },
                                          "无法启动程序【imp】：No such file or directory"));
}

class EmbeddedMaintenance : public ::testing::Test {
  protected:
    TempDir dir;
    const TDBInfoRec server{dbAccess, true, dir.path().string(), 0, "", "", ""};
    std::string file = dir.File("LUMO01.mdb");
    std::string cs =
        MakeJetFile(file, {"create table T (N LONG, S varchar(20))", "create index IX on T (S)",
                           "insert into T values (1, 'one')", "insert into T values (2, 'two')"});
    std::string backup = dir.File("BackUp/EMBEDDED/甲2010-05-20 1430.mdb");
};

TEST_F(EmbeddedMaintenance, BackupIsAConsistentCopyAndRestorePutsItBack) {
    EXPECT_EQ(EmbeddedDatabaseFile(server, "LUMO01"), file);
    Connection user(cs);
    user.Open();
    // An open reader does not keep the copy from being made.
    auto reading = user.Execute("select * from T");
    BackupEmbeddedDatabase(file, backup);
    reading.reset();
    user.Execute("insert into T values (3, 'three')");
    user.Execute("alter table T add X LONG");
    user.Close();

    Connection copy(JetString(backup));
    copy.Open();
    EXPECT_EQ(Rows(copy, "select N, S from T order by N"), (Texts{"1|one", "2|two"}));
    copy.Close();

    RestoreDatabase(backup, "", "LUMO01", server);
    user.Open();
    EXPECT_EQ(Rows(user, "select * from T order by N"), (Texts{"1|one", "2|two"}));
    EXPECT_EQ(Rows(user, "select name from sqlite_master where type = 'index'"), Texts{"IX"});
    user.Close();
    RepairDatabase("LUMO01", server);
    EXPECT_TRUE(
        FailsWith<EDatabaseError>([&] { RestoreEmbeddedDatabase(backup, dir.File("no/such/folder.mdb")); },
                                  "unable to open database file"));
}

TEST_F(EmbeddedMaintenance, ARestoreFromABadCopyLeavesTheAccountSetAsItWas) {
    WriteFile(backup,
              "not a database, though long enough to look like one at first ..........................");
    EXPECT_THROW(RestoreEmbeddedDatabase(backup, file), EDatabaseError);
    Connection user(cs);
    user.Open();
    EXPECT_EQ(Rows(user, "select count(*) from T"), Texts{"2"});
    EXPECT_TRUE(FailsWith<EDatabaseError>([&] { RestoreEmbeddedDatabase(dir.File("missing.mdb"), file); },
                                          "Could not find file '" + dir.File("missing.mdb") + "'."));
    EXPECT_THROW(BackupEmbeddedDatabase(dir.File("missing.mdb"), backup), EDatabaseError);
    EXPECT_FALSE(std::filesystem::exists(dir.File("missing.mdb")));
}

TEST_F(EmbeddedMaintenance, RepairReportsWhatTheIntegrityCheckFinds) {
    {
        Connection user(cs);
        user.Open();
        user.Execute("pragma writable_schema=on");
        user.Execute("update sqlite_master set sql = 'CREATE INDEX IX on T (N)' where name = 'IX'");
    }
    EXPECT_TRUE(FailsWith<EDatabaseError>(
        [&] { RepairDatabase("LUMO01", server); },
        "数据库【" + file +
            "】完整性检查发现错误：row 1 missing from index IX\r\nrow 2 missing from index IX"));
}

}  // namespace
