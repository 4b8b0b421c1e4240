#include "db/fault_injection.h"

#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "db/data_export.h"
#include "db_test_util.h"
#include "support/kv_types.h"

using namespace kestrane::db;
using namespace kestrane::db::testing;
using kestrane::testing::FailsWith;

namespace {

class FaultInjection : public ::testing::Test {
  protected:
    TempDir dir;
    std::string a = MakeJetFile(dir.File("A.mdb"), {"create table T (N LONG)"});
    std::string b = MakeJetFile(dir.File("B.mdb"), {"create table T (N LONG)"});
};

TEST_F(FaultInjection, TheNthStatementFailsWithoutBeingSent) {
    Connection c(a);
    c.Open();
    {
        ScopedFaultInjection faults;
        faults.FailNth(2);
        c.Execute("insert into T values (1)");
        EXPECT_TRUE(FailsWith<EDatabaseError>([&] { c.Execute("insert into T values (2)"); },
                                              "Injected fault: insert into T values (2)"));
        c.Execute("insert into T values (3)");
        EXPECT_EQ(faults.Statements(),
                  (std::vector<std::string>{"insert into T values (1)", "insert into T values (2)",
                                            "insert into T values (3)"}));
        EXPECT_EQ(faults.Failures(), 1);
    }
    c.Execute("insert into T values (4)");
    EXPECT_EQ(Rows(c, "select N from T"), (std::vector<std::string>{"1", "3", "4"}));
}

TEST_F(FaultInjection, MatchingStatementsOfOneConnectionFailIncludingPreparedCommands) {
    // The copy into B fails at its first insert; an embedded target keeps the table as it was.
    {
        Connection c(a);
        c.Open();
        c.Execute("insert into T values (7)");
        c.Execute("insert into T values (8)");
    }
    TDataExport ex;
    ex.SourceType = kestrane::support::dbAccess;
    ex.TargetType = kestrane::support::dbAccess;
    ex.SourceConnection().SetConnectionString(a);
    ex.TargetConnection()->SetConnectionString(b);
    ScopedFaultInjection faults;
    faults.OnConnections("B.mdb").FailMatching("insert into T", "disk full");
    EXPECT_TRUE(FailsWith<EDatabaseError>([&] { ex.TransferTable("T", ""); }, "disk full"));
    EXPECT_EQ(faults.Failures(), 1);
    // Only B's statements were counted: the existence test, the delete, then the insert that failed.
    const std::vector<std::string> sent = faults.Statements();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], "select count(*) from T");
    EXPECT_EQ(sent[1], "delete from T where 1=1 ");
    EXPECT_EQ(sent[2].substr(0, 15), "insert into T([");
    Connection check(b);
    check.Open();
    EXPECT_TRUE(Rows(check, "select N from T").empty());
    // The source connection is untouched by the rule.
    Connection source(a);
    source.Open();
    EXPECT_EQ(Rows(source, "select N from T"), (std::vector<std::string>{"7", "8"}));
}

}  // namespace
