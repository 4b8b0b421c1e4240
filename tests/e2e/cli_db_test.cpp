// kestrane-cli db on a real embedded database file.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_run.h"
#include "db/connection.h"

namespace kestrane::testing {
namespace {

class CliDb : public TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        connStr_ = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir_ + "Acc.mdb;";
        db::CreateJetDatabase(connStr_);
        db::Connection c(connStr_);
        c.Open();
        c.Execute("create table Sys_Accounts ([AccID] LONG not null, [AccName] varchar(60), [Memo] MEMO)");
        c.Execute("create view V_Acc as select AccID from Sys_Accounts");
    }
    CliRun Cli(const std::vector<std::string>& args) const { return RunCli(args, dir_); }

    std::string connStr_;
};

TEST_F(CliDb, TestsAConnection) {
    const CliRun ok = Cli({"db", "test", connStr_});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, "数据库测试连接成功\n");

    const CliRun bad = Cli(
        {"db", "test", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + dir_ + "no/such.mdb;", "--json"});
    EXPECT_EQ(bad.status, 1);
    const auto j = nlohmann::json::parse(bad.out);
    EXPECT_EQ(j["connected"], false);
    EXPECT_FALSE(j["message"].get<std::string>().empty());
    EXPECT_NE(bad.err, "");
}

TEST_F(CliDb, ListsColumnsInOrderAndTables) {
    const CliRun cols = Cli({"db", "columns", connStr_, "sys_accounts", "--json"});
    ASSERT_EQ(cols.status, 0) << cols.err;
    const auto rows = nlohmann::json::parse(cols.out);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0]["COLUMN_NAME"], "AccID");
    EXPECT_EQ(rows[0]["DATA_TYPE"], 3);  // adInteger
    EXPECT_EQ(rows[1]["COLUMN_NAME"], "AccName");
    EXPECT_EQ(rows[1]["CHARACTER_MAXIMUM_LENGTH"], 60);
    EXPECT_EQ(rows[2]["COLUMN_NAME"], "Memo");

    const CliRun text = Cli({"db", "columns", connStr_, "Sys_Accounts"});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_NE(text.out.find("AccName"), std::string::npos);

    const CliRun none = Cli({"db", "columns", connStr_, "NoSuchTable"});
    EXPECT_EQ(none.status, 1);

    const CliRun tables = Cli({"db", "tables", connStr_, "--json"});
    ASSERT_EQ(tables.status, 0) << tables.err;
    std::vector<std::string> names;
    for (const auto& t : nlohmann::json::parse(tables.out)) names.push_back(t["TABLE_NAME"]);
    EXPECT_NE(std::find(names.begin(), names.end(), "Sys_Accounts"), names.end());
    EXPECT_NE(std::find(names.begin(), names.end(), "V_Acc"), names.end());
}

TEST_F(CliDb, BadUsageIsStatusTwo) {
    EXPECT_EQ(Cli({"db", "columns", connStr_}).status, 2);
    EXPECT_EQ(Cli({"db"}).status, 2);
}

}  // namespace
}  // namespace kestrane::testing
