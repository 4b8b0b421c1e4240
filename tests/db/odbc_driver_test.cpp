#include "db/odbc_driver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

#include "common/env_guard.h"
#include "common/expect_error.h"
#include "db/connect.h"
#include "db/data_export.h"
#include "db/odbc_array_calls.h"
#include "db_test_util.h"

using namespace kestrane::db;
using namespace kestrane::db::testing;
using kestrane::support::Bytes;
using kestrane::support::EncodeDateTime;
using kestrane::support::VarType;

namespace {

using kestrane::testing::Caught;
using kestrane::testing::EnvGuard;
using kestrane::testing::FailsWith;

const char* kSqliteOdbc = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";

class OdbcSqlite : public ::testing::Test {
  protected:
    TempDir dir;
    std::string file = dir.File("odbc.db");
    std::string cs;
    Connection c;
    void SetUp() override {
        if (!std::filesystem::exists(kSqliteOdbc)) GTEST_SKIP() << "SQLite ODBC driver not installed";
        MakeJetFile(
            file,
            {"create table T (ID integer not null, Name varchar(50), Amount decimal(18,2), Rate double, "
             "Flag bit, Made timestamp, Data blob)"});
        cs = std::string("Provider=MSDASQL.1;Driver=") + kSqliteOdbc + ";Database=" + file + ";";
        c.SetConnectionString(cs);
        c.Open();
    }
};

}  // namespace

TEST(OdbcTranslate, ConnectionStrings) {
    EnvGuard ms(kEnvOdbcMsSqlDriver, "ODBC Driver 18 for SQL Server");
    EnvGuard ora(kEnvOdbcOracleDriver, "/opt/oracle/libsqora.so");
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"Provider=SQLOLEDB.1;Data Source=SRV\\MSDE;User ID=sa;Password=\"p;w\";Persist Security Info=True",
         "Driver={ODBC Driver 18 for SQL "
         "Server};Server=SRV\\MSDE;UID=sa;PWD={p;w};TrustServerCertificate=Yes;"},
        {"Provider=SQLOLEDB.1;Data Source=\" S \";User ID='a''b';Password=\"x;Integrated Security=SSPI\";"
         "Initial Catalog=\"L;Database=master\"",
         "Driver={ODBC Driver 18 for SQL Server};Server={ S };Database={L;Database=master};UID=a'b;"
         "PWD={x;Integrated Security=SSPI};TrustServerCertificate=Yes;"},
        {"Provider=SQLOLEDB.1;Data Source=S;User ID=sa;Password=a=b;Persist Security Info=True;Initial "
         "Catalog=L01",
         "Driver={ODBC Driver 18 for SQL "
         "Server};Server=S;Database=L01;UID=sa;PWD={a=b};TrustServerCertificate=Yes;"},
        {"Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Data Source=S;Initial "
         "Catalog=L",
         "Driver={ODBC Driver 18 for SQL Server};Server=S;Database=L;Trusted_Connection=Yes;"
         "TrustServerCertificate=Yes;"},
        {"Provider=OraOLEDB.Oracle.1;Data Source=orcl_db1;User ID=LUMO01;Password=p}x;Persist Security "
         "Info=True",
         "Driver=/opt/oracle/libsqora.so;DBQ=orcl_db1;UID=LUMO01;PWD={p}}x};"},
        {"Provider=MSDASQL.1;DSN=lumo;UID=u", "DSN=lumo;UID=u;"},
        {"Provider=MSDASQL.1;Driver={SQLite3};Database=\"/d/a;b.db\";PWD=x=y",
         "Driver={SQLite3};Database={/d/a;b.db};PWD={x=y};"},
        // A value typed in ODBC's braces stays one value; a quoted value is meant exactly, braces and
        // all; a brace that does not close one value is a character of it. None adds a key.
        {"Provider=MSDASQL.1;Driver={SQLite3};PWD=\"{x};Database=/tmp/a.db\"",
         "Driver={SQLite3};PWD={{x}};Database=/tmp/a.db};"},
        {"Provider=MSDASQL.1;Driver= {SQL Server} ;PWD={a}}b};UID='{u}'",
         "Driver={SQL Server};PWD={a}}b};UID={{u}}};"},
        {"Provider=MSDASQL.1;PWD={a}b;UID={u;Server=x}", "PWD={{a}}b};UID={{u};Server={x}}};"},
        // A key typed with blanks around it is still found.
        {"Provider=SQLOLEDB.1;Data Source=S; User ID = sa ; Password = p w ",
         "Driver={ODBC Driver 18 for SQL Server};Server=S;UID=sa;PWD=p w;TrustServerCertificate=Yes;"},
    };
    for (const auto& c : cases) EXPECT_EQ(TranslateToOdbc(c.in), c.out) << c.in;
}

TEST(OdbcTranslate, DriverDetection) {
    EnvGuard ms(kEnvOdbcMsSqlDriver, std::nullopt);
    EnvGuard ora(kEnvOdbcOracleDriver, std::nullopt);
    const auto installed = InstalledOdbcDrivers();
    bool sqlServer = false, oracle = false;
    for (const auto& d : installed) {
        sqlServer = sqlServer || d.find("SQL Server") != std::string::npos || d == "FreeTDS";
        oracle = oracle || d.rfind("Oracle", 0) == 0;
    }
    if (std::filesystem::exists("/etc/odbcinst.ini") &&
        ReadFile("/etc/odbcinst.ini").find("[SQLite3]") != std::string::npos) {
        EXPECT_NE(std::find(installed.begin(), installed.end(), "SQLite3"), installed.end());
    }
    if (!oracle) {
        EXPECT_EQ(OdbcDriverFor("OraOLEDB.Oracle.1"), "");
        Connection c("Provider=OraOLEDB.Oracle.1;Data Source=orcl_db1;User ID=u;Password=p");
        EXPECT_TRUE(
            FailsWith<EDatabaseError>([&] { c.Open(); },
                                      "No ODBC driver for OraOLEDB.Oracle.1 is installed; set "
                                      "KESTRANE_ODBC_ORACLE_DRIVER to the driver's name or library path."));
    }
    if (!sqlServer) {
        EXPECT_EQ(OdbcDriverFor("SQLOLEDB.1"), "");
    }
}

TEST_F(OdbcSqlite, CommandsAndValuesOfEveryKind) {
    Command cmd(c);
    cmd.CommandText = "insert into T(ID,Name,Amount,Rate,Flag,Made,Data)\r\nvalues(?,?,?,?,?,?,?)";
    cmd.Prepared = true;
    cmd.Parameters = {{adInteger, std::int64_t{1}},
                      {adVarChar, "中文 ünï"},
                      {adNumeric, Variant::FromDecimal("12.50")},
                      {adDouble, 0.25},
                      {adSmallInt, std::int64_t{1}},
                      {adDate, Variant::FromDateTime(EncodeDateTime(2024, 2, 29, 13, 5, 9))},
                      {adLongVarBinary, Bytes{0, 1, 2, 255}}};
    EXPECT_EQ(cmd.Execute(), 1);
    cmd.Parameters = {{adInteger, std::int64_t{2}}, {adVarChar, ""}, {}, {}, {adBoolean, false}, {}, {}};
    EXPECT_EQ(cmd.Execute(), 1);  // the same prepared text again
    std::string big(20000, 'x');
    Command one(c);
    one.CommandText = "insert into T(ID, Name, Data) values (?, ?, ?)";
    one.Parameters = {{adInteger, std::int64_t{3}}, {adVarChar, big}, {adLongVarBinary, Bytes(30000, 7)}};
    one.Execute();

    auto rs = c.Execute("select ID, Name, Amount, Rate, Flag, Made, Data from T order by ID");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->RecordCount(), 3);
    EXPECT_EQ(rs->Field(0).Type, adInteger);
    EXPECT_EQ(rs->Field(1).Name, "Name");
    EXPECT_TRUE(rs->Field(1).Type == adVarChar || rs->Field(1).Type == adVarWChar);
    EXPECT_EQ(rs->Value("id").AsInt64(), 1);
    EXPECT_EQ(rs->Value("Name").AsString(), "中文 ünï");
    EXPECT_DOUBLE_EQ(rs->Value("Amount").AsDouble(), 12.5);
    EXPECT_EQ(rs->Value("Rate").AsDouble(), 0.25);
    EXPECT_TRUE(rs->Value("Flag").AsBoolean());
    EXPECT_EQ(kestrane::support::DateTimeToText(rs->Value("Made").AsDateTime()), "2024-02-29 13:05:09");
    EXPECT_EQ(rs->Value("Data").AsBytes(), (Bytes{0, 1, 2, 255}));
    rs->MoveNext();
    EXPECT_EQ(rs->Value("Name").AsString(), "");
    EXPECT_FALSE(rs->Value("Name").IsNull());
    EXPECT_TRUE(rs->Value("Amount").IsNull());
    EXPECT_TRUE(rs->Value("Data").IsNull());
    rs->MoveNext();
    EXPECT_EQ(rs->Value("Name").AsString(), big);
    EXPECT_EQ(rs->Value("Data").AsBytes(), Bytes(30000, 7));
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_THROW(rs->MoveNext(), EDatabaseError);
    rs->MoveFirst();
    EXPECT_EQ(rs->Value(0).AsInt64(), 1);
}

TEST_F(OdbcSqlite, ErrorsSchemaAndTransactions) {
    const auto missing = Caught<EDatabaseError>([&] { c.Execute("select * from Missing"); });
    ASSERT_TRUE(missing);
    EXPECT_NE(std::string(missing->what()).find("no such table"), std::string::npos) << missing->what();
    EXPECT_EQ(c.Execute("insert into T(ID) values (5)"), nullptr);
    auto cols = c.OpenSchema(adSchemaColumns, {Variant::Null(), Variant::Null(), "T"});
    std::vector<std::string> names;
    for (; !cols->Eof(); cols->MoveNext())
        names.push_back(cols->Value("COLUMN_NAME").AsString() + ":" + cols->Value("DATA_TYPE").AsString() +
                        "#" + cols->Value("ORDINAL_POSITION").AsString() + "=" +
                        cols->Value("COLUMN_HASDEFAULT").AsString() +
                        cols->Value("COLUMN_DEFAULT").AsString());
    ASSERT_EQ(names.size(), 7u);
    // A column without a default is reported by the driver with the word NULL: no default.
    EXPECT_EQ(names[0], "ID:3#1=False");
    EXPECT_EQ(names[4].substr(0, 5), "Flag:");
    auto tables = c.OpenSchema(adSchemaTables, {});
    EXPECT_EQ(tables->Value("TABLE_NAME").AsString(), "T");

    c.BeginTrans();
    c.Execute("insert into T(ID) values (6)");
    c.RollbackTrans();
    EXPECT_EQ(Rows(c, "select count(*) from T"), std::vector<std::string>{"1"});

    Connection bad(std::string("Provider=MSDASQL.1;Driver=/nonexistent/lib.so;Database=x"));
    EXPECT_THROW(bad.Open(), EDatabaseError);
    EXPECT_FALSE(bad.IsOpen());
}

TEST_F(OdbcSqlite, EngineStringsThroughTheDriverManager) {
    EnvGuard ms(kEnvOdbcMsSqlDriver, kSqliteOdbc);
    c.Execute("insert into T(ID, Name) values (1, 'a')");
    c.Execute("insert into T(ID, Name) values (2, 'b')");
    kestrane::support::TDBInfoRec srv;
    srv.Server = "localhost";
    srv.User = "sa";
    srv.Password = "pw";

    // Copy from the "SQL Server" account set into a Jet transfer file and check the rows.
    TDataExport ex;
    ex.SourceConnection().SetConnectionString(BuildConnectionString(srv, file));
    ex.SourceType = kestrane::support::dbtMsSql;
    ASSERT_TRUE(TDataExport::CreateAccessDB(dir.File("Update.mdb")));
    ex.TargetConnection()->SetConnectionString(JetString(dir.File("Update.mdb")));
    ex.TargetType = kestrane::support::dbAccess;
    ex.TransferTable("T", " and ID > 1");
    EXPECT_EQ(Rows(*ex.TargetConnection(), "select ID, Name from T"), std::vector<std::string>{"2|b"});
    EXPECT_EQ(Rows(*ex.TargetConnection(), "select COLUMN_NAME from DSColumnDefine order by ORDINAL_POSITION")
                  .size(),
              7u);
}

TEST_F(OdbcSqlite, DatesKeepMillisecondsAndTimes) {
    c.Execute("create table D (ID integer, Made timestamp, Clock time)");
    const double stamp = EncodeDateTime(2024, 2, 29, 13, 5, 9, 123);
    const double clock = EncodeDateTime(1899, 12, 30, 8, 30, 0, 250);
    Command cmd(c);
    cmd.CommandText = "insert into D(ID, Made, Clock) values (?, ?, ?)";
    cmd.Parameters = {{adInteger, std::int64_t{1}},
                      {adDate, Variant::FromDateTime(stamp)},
                      {adDate, Variant::FromDateTime(clock)}};
    cmd.Execute();
    auto rs = c.Execute("select Made, Clock from D");
    EXPECT_EQ(rs->Field(1).Type, adDBTime);
    EXPECT_EQ(rs->Value("Made"), Variant::FromDateTime(stamp));
    EXPECT_EQ(rs->Value("Clock"), Variant::FromDateTime(clock));
}

namespace {

// A "SQL Server" account set that is an SQLite file reached through the SQLite ODBC driver.
struct OdbcAccountSet {
    EnvGuard driver{kEnvOdbcMsSqlDriver, kSqliteOdbc};
    std::string file;
    std::string cs;
    explicit OdbcAccountSet(std::string path) : file(std::move(path)) {
        kestrane::support::TDBInfoRec srv;
        srv.Server = "localhost";
        srv.User = "sa";
        srv.Password = "p;w";
        cs = BuildConnectionString(srv, file);
    }
};

}  // namespace

TEST_F(OdbcSqlite, DatesKeepMillisecondsThroughEveryCopy) {
    c.Execute("create table D (ID integer, Made timestamp, Clock time)");
    c.Execute("insert into D values (1, '2024-02-29 13:05:09.123', '08:30:00.250')");
    c.Execute("insert into D values (2, '2024-03-01 00:00:00.000', '00:00:00.000')");
    OdbcAccountSet server(file);
    // Maker: the "SQL Server" account set into the transfer file.
    TDataExport maker;
    maker.SourceConnection().SetConnectionString(server.cs);
    maker.SourceType = kestrane::support::dbtMsSql;
    ASSERT_TRUE(TDataExport::CreateAccessDB(dir.File("Update.mdb")));
    maker.TargetConnection()->SetConnectionString(JetString(dir.File("Update.mdb")));
    maker.TargetType = kestrane::support::dbAccess;
    maker.TransferTable("D", "");
    const std::vector<std::string> stored = {"1|'2024-02-29 13:05:09.123'|'1899-12-30 08:30:00.250'",
                                             "2|'2024-03-01'|'1899-12-30'"};
    EXPECT_EQ(Rows(*maker.TargetConnection(), "select ID, quote(Made), quote(Clock) from D order by ID"),
              stored);
    // Installer: the transfer file into another "SQL Server" account set.
    OdbcAccountSet second(dir.File("second.db"));
    MakeJetFile(second.file, {"create table D (ID integer, Made timestamp, Clock timestamp)"});
    TDataExport installer;
    installer.SourceConnection().SetConnectionString(JetString(dir.File("Update.mdb")));
    installer.SourceType = kestrane::support::dbAccess;
    installer.TargetConnection()->SetConnectionString(second.cs);
    installer.TargetType = kestrane::support::dbtMsSql;
    installer.TransferTable("D", "");
    Connection back(second.cs);
    back.Open();
    auto rs = back.Execute("select Made, Clock from D order by ID");
    EXPECT_EQ(rs->Value(0), Variant::FromDateTime(EncodeDateTime(2024, 2, 29, 13, 5, 9, 123)));
    EXPECT_EQ(rs->Value(1), Variant::FromDateTime(EncodeDateTime(1899, 12, 30, 8, 30, 0, 250)));
}

TEST_F(OdbcSqlite, RowsGoInArraysAndInTheirOrder) {
    // Rows of changing null patterns and value kinds, long texts and blobs among them, into a
    // "SQL Server" target, and back again: every value arrives, in the source's order.
    std::vector<std::string> setup = {
        "create table R (RwID LONG, Name varchar(50), Note MEMO, Amount FLOAT, Flag BIT, Made DATETIME, "
        "Data LONGBINARY, Mixed varchar(20))",
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 3000) insert into R select "
        "i, "
        "case when i % 7 = 0 then null else '名称' || i end, "
        "case when i % 500 = 0 then printf('%.5000c', 'x') when i % 3 = 0 then null else 'note ' || i end, "
        "case when i % 5 = 0 then null else i / 8.0 end, i % 2, "
        "printf('2024-01-%02d 10:00:00.%03d', i % 28 + 1, i % 1000), "
        "case when i % 400 = 0 then zeroblob(9000) when i % 2 = 0 then randomblob(20) else null end, "
        "case when i % 10 = 0 then i else 'm' || i end from n"};
    const std::string source = MakeJetFile(dir.File("source.mdb"), setup);
    OdbcAccountSet target(file);
    c.Execute(setup[0]);
    TDataExport ex;
    ex.SourceConnection().SetConnectionString(source);
    ex.SourceType = kestrane::support::dbAccess;
    ex.TargetConnection()->SetConnectionString(target.cs);
    ex.TargetType = kestrane::support::dbtMsSql;
    ex.TransferTable("R", "");
    const std::string all =
        "select rowid, RwID, Name, Note, Amount, Flag, quote(Made), hex(Data), Mixed from R";
    Connection src(source);
    src.Open();
    EXPECT_EQ(Rows(c, all + " order by rowid"), Rows(src, all + " order by rowid"));
    // A failing row part-way leaves the target as it was: one transaction for the table.
    c.Execute("create unique index ux on R (Name)");
    src.Execute("update R set Name = '名称1' where RwID = 2999");
    EXPECT_THROW(ex.TransferTable("R", " and RwID > 1000 "), EDatabaseError);
    EXPECT_EQ(Rows(c, "select count(*), sum(RwID) from R"), std::vector<std::string>{"3000|4501500"});
}

namespace {

// Answers of drivers other than the installed one to arrays of parameter sets, played over the SQLite
// ODBC driver: every row still goes to it, so the target shows what was stored.
class PlayedDriver : public OdbcArrayCalls {
  public:
    static constexpr std::size_t kAny = std::numeric_limits<std::size_t>::max();
    std::size_t largestArray = kAny;    // 1 refuses arrays; else takes at most this many rows, saying so
    std::size_t runsOnly = kAny;        // of a larger array runs only this many rows, and returns success
    bool goesOnPastAFailure = false;    // a failing row is told only in its status, with SUCCESS_WITH_INFO
    std::vector<std::size_t> executes;  // the rows of each execute
    int arrayRequests = 0;

    SQLRETURN SetStmtAttr(SQLHSTMT s, SQLINTEGER attribute, SQLPOINTER value, SQLINTEGER length) override {
        if (attribute == SQL_ATTR_PARAM_STATUS_PTR) status_ = static_cast<SQLUSMALLINT*>(value);
        if (attribute == SQL_ATTR_PARAMS_PROCESSED_PTR) processed_ = static_cast<SQLULEN*>(value);
        if (attribute != SQL_ATTR_PARAMSET_SIZE)
            return OdbcArrayCalls::SetStmtAttr(s, attribute, value, length);
        const auto rows = reinterpret_cast<SQLULEN>(value);
        if (rows > 1) ++arrayRequests;
        if (rows <= largestArray) {
            size_ = rows;
            return OdbcArrayCalls::SetStmtAttr(s, attribute, value, length);
        }
        if (largestArray <= 1) return SQL_ERROR;
        size_ = largestArray;
        const SQLRETURN rc =
            OdbcArrayCalls::SetStmtAttr(s, attribute, reinterpret_cast<SQLPOINTER>(size_), length);
        return rc == SQL_SUCCESS ? SQL_SUCCESS_WITH_INFO : rc;  // option value changed
    }

    SQLRETURN Execute(SQLHSTMT s) override {
        executes.push_back(size_);
        if (size_ > runsOnly)
            OdbcArrayCalls::SetStmtAttr(s, SQL_ATTR_PARAMSET_SIZE, reinterpret_cast<SQLPOINTER>(runsOnly), 0);
        const SQLRETURN rc = OdbcArrayCalls::Execute(s);
        if (!goesOnPastAFailure || size_ == 1 || rc != SQL_ERROR) return rc;
        // The SQLite driver stops at the failing row and counts the rows before it; its message stays.
        const SQLULEN failed = *processed_;
        for (SQLULEN r = 0; r < size_; ++r)
            status_[r] = r < failed ? SQL_PARAM_SUCCESS : r == failed ? SQL_PARAM_ERROR : SQL_PARAM_UNUSED;
        *processed_ = failed + 1;
        return SQL_SUCCESS_WITH_INFO;
    }

  private:
    SQLULEN size_ = 1;
    SQLUSMALLINT* status_ = nullptr;
    SQLULEN* processed_ = nullptr;
};

}  // namespace

TEST_F(OdbcSqlite, EveryRowIsStoredOrTheTableFails) {
    // 2500 rows of one shape go as arrays of 1000, 1000 and 500 where the driver takes them; a driver
    // that refuses arrays or takes fewer rows gets them one at a time. A driver that runs fewer rows
    // than it was given, or goes on past a failing row, fails the copy and leaves the target as it was.
    const std::string source = MakeJetFile(
        dir.File("source.mdb"),
        {"create table R (RwID LONG, Name varchar(50))",
         "with recursive n(i) as (select 1 union all select i + 1 from n where i < 2500) insert into R "
         "select i, 'n' || i from n"});
    const std::string all = "select RwID, Name from R order by rowid";
    Connection src(source);
    src.Open();
    const std::vector<std::string> copied = Rows(src, all);
    const std::vector<std::string> before = {"7|old7", "8|old8", "9|old9"};
    OdbcAccountSet target(file);
    c.Execute("create table R (RwID integer, Name varchar(50) unique)");
    struct Case {
        const char* driver;
        std::size_t largestArray, runsOnly;
        bool goesOnPastAFailure;
        std::size_t executes, largestExecute;
        int arrayRequests;
        const char* error;  // null: every row arrives in its order
    };
    constexpr std::size_t any = PlayedDriver::kAny;
    const Case cases[] = {
        {"takes arrays", any, any, false, 3, 1000, 3, nullptr},
        {"refuses arrays", 1, any, false, 2500, 1, 1, nullptr},
        {"takes 10 rows at most", 10, any, false, 2500, 1, 1, nullptr},
        {"runs 600 rows of 1000", any, 600, false, 1, 1000, 1,
         "The ODBC driver did not store row 601 of the 1000 rows sent together."},
        {"goes on past a failing row", any, any, true, 1, 1000, 1,
         "[SQLite]UNIQUE constraint failed: R.Name (19)"},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.driver);
        c.Execute("delete from R");
        for (const auto& row : before)
            c.Execute("insert into R values (" + row.substr(0, 1) + ", '" + row.substr(2) + "')");
        // The last row of the first array repeats the first row's unique name.
        src.Execute(std::string("update R set Name = '") + (k.goesOnPastAFailure ? "n1" : "n1000") +
                    "' where RwID = 1000");
        PlayedDriver played;
        played.largestArray = k.largestArray;
        played.runsOnly = k.runsOnly;
        played.goesOnPastAFailure = k.goesOnPastAFailure;
        TDataExport ex;
        ex.SourceConnection().SetConnectionString(source);
        ex.SourceType = kestrane::support::dbAccess;
        ex.TargetConnection()->SetConnectionString(target.cs);
        ex.TargetType = kestrane::support::dbtMsSql;
        {
            ScopedOdbcArrayCalls calls(played);
            if (k.error) {
                EXPECT_TRUE(FailsWith<EDatabaseError>([&] { ex.TransferTable("R", ""); }, k.error));
                EXPECT_EQ(Rows(c, all), before);
            } else {
                ex.TransferTable("R", "");
                EXPECT_EQ(Rows(c, all), copied);
            }
        }
        EXPECT_EQ(played.executes.size(), k.executes);
        EXPECT_EQ(*std::max_element(played.executes.begin(), played.executes.end()), k.largestExecute);
        EXPECT_EQ(played.arrayRequests, k.arrayRequests);
    }
}
