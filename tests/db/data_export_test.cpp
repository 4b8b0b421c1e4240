#include "db/data_export.h"

#include <gtest/gtest.h>

#include <limits>

#include "common/expect_error.h"
#include "db/connect.h"
#include "db/db_processor.h"
#include "db_test_util.h"
#include "support/guid.h"

using namespace kestrane::db;
using namespace kestrane::db::testing;
using kestrane::support::Bytes;
using kestrane::support::dbAccess;
using kestrane::support::dbtMsSql;
using kestrane::support::dbtOracle;
using kestrane::testing::FailsWith;

namespace {

const char* kMsSource =
    "Provider=SQLOLEDB.1;Data Source=S;User ID=sa;Password=p;Persist Security Info=True;Initial "
    "Catalog=Lumo01";
const char* kOraTarget =
    "Provider=OraOLEDB.Oracle.1;Data Source=orcl_db1;User ID=LUMO01;Password=p;Persist Security Info=True";

// One columns-schema row: name, type, size, precision, scale, nullable, position, default (null: none).
struct Col {
    const char* name;
    int type;
    std::int64_t size;
    int precision, scale;
    bool nullable;
    int position;
    const char* dflt;
};

MemoryRecordset Catalogue(const std::string& table, std::initializer_list<Col> cols) {
    auto rs = NewColumnsRowset();
    for (const Col& c : cols) {
        std::vector<Variant> row(std::size(kColumnsSchemaFields), Variant::Null());
        row[1] = "dbo";
        row[2] = table;
        row[3] = c.name;
        row[6] = std::int64_t{c.position};
        row[7] = c.dflt != nullptr;
        if (c.dflt) row[8] = c.dflt;
        row[10] = c.nullable;
        row[11] = std::int64_t{c.type};
        if (c.size) row[13] = c.size;
        if (c.precision) row[15] = std::int64_t{c.precision};
        if (c.scale) row[16] = std::int64_t{c.scale};
        rs->AddRow(row);
    }
    return *rs;
}

// An account set in a Jet-kind file with a definition table of every value kind.
const std::vector<std::string> kAccountSet = {
    "create table Sys_PurFunRes (G_ID GUID, RwID LONG not null, StdCode varchar(50), OrgName varchar(100), "
    "Amount decimal(18,2), Flag BIT, Made DATETIME, Data LONGBINARY, Note MEMO)",
    "insert into Sys_PurFunRes values ('{11111111-2222-3333-4444-555555555555}', 1, 'A01', '总部', 12.5, 1, "
    "'2024-01-02 03:04:05', x'0102', 'first')",
    "insert into Sys_PurFunRes values ('{21111111-2222-3333-4444-555555555555}', 2, 'B01', null, null, 0, "
    "null, "
    "null, null)",
    "insert into Sys_PurFunRes values ('{31111111-2222-3333-4444-555555555555}', 3, 'A02', '分部', 0.5, 0, "
    "null, "
    "null, '0012')",
};

class JetTransfer : public ::testing::Test {
  protected:
    TempDir dir;
    std::string update = dir.File("Update.mdb");
    TDataExport ex;
    void SetUp() override {
        ex.SourceConnection().SetConnectionString(MakeJetFile(dir.File("Lumo01.mdb"), kAccountSet));
        ASSERT_TRUE(TDataExport::CreateAccessDB(update));
        ex.TargetConnection()->SetConnectionString(JetString(update));
        ex.SourceType = dbAccess;
        ex.TargetType = dbAccess;
    }
    std::vector<std::string> Target(const std::string& sql) { return Rows(*ex.TargetConnection(), sql); }
};

}  // namespace

TEST_F(JetTransfer, StructureOnlyCreatesEmptyTableAndColumnDefines) {
    ex.TransferTable("Sys_PurFunRes", " and 1<>1 ");
    EXPECT_TRUE(ex.ColumnDefineCreated);
    EXPECT_EQ(Target("select count(*) from Sys_PurFunRes"), std::vector<std::string>{"0"});
    const std::vector<std::string> want = {
        "Sys_PurFunRes|G_ID|72|0|0|0|True|1|1|SYS_GUID()",
        "Sys_PurFunRes|RwID|3|0|10|0|False|2|0|",
        "Sys_PurFunRes|StdCode|202|50|0|0|True|3|0|",
        "Sys_PurFunRes|OrgName|202|300|0|0|True|4|0|",
        "Sys_PurFunRes|Amount|131|0|18|2|True|5|0|",
        "Sys_PurFunRes|Flag|11|0|0|0|True|6|0|",
        "Sys_PurFunRes|Made|7|0|0|0|True|7|0|",
        "Sys_PurFunRes|Data|205|0|0|0|True|8|0|",
        "Sys_PurFunRes|Note|203|0|0|0|True|9|0|",
    };
    EXPECT_EQ(Target("select * from DSColumnDefine order by ORDINAL_POSITION"), want);
    // The Jet column keeps its own size; only the side table widens OrgName.
    auto cols = ex.TargetConnection()->OpenSchema(adSchemaColumns,
                                                  {Variant::Null(), Variant::Null(), "Sys_PurFunRes"});
    cols->MoveNext();
    cols->MoveNext();
    cols->MoveNext();
    EXPECT_EQ(cols->Value("COLUMN_NAME").AsString(), "OrgName");
    EXPECT_EQ(cols->Value("CHARACTER_MAXIMUM_LENGTH").AsInt64(), 100);
    // Into a target that has the table: nothing deleted, nothing copied.
    ex.TransferTable("Sys_PurFunRes", "");
    ex.TransferTable("Sys_PurFunRes", " and 1<>1 ");
    EXPECT_EQ(Target("select count(*) from Sys_PurFunRes"), std::vector<std::string>{"3"});
}

TEST_F(JetTransfer, FiltersReplaceMatchingRowsOnly) {
    ex.TransferTable("Sys_PurFunRes", " and StdCode like 'A%' ");
    ex.TransferTable("Sys_PurFunRes", " and StdCode like 'A%' ");
    EXPECT_EQ(Target("select RwID from Sys_PurFunRes order by RwID"), (std::vector<std::string>{"1", "3"}));
    ex.TransferTable("Sys_PurFunRes", " and StdCode = 'B01' ");
    EXPECT_EQ(Target("select RwID from Sys_PurFunRes order by RwID"),
              (std::vector<std::string>{"1", "2", "3"}));
    EXPECT_EQ(Target("select G_ID, StdCode, OrgName, Amount, Flag, Made, hex(Data), Note from Sys_PurFunRes "
                     "order by RwID"),
              (std::vector<std::string>{
                  "{11111111-2222-3333-4444-555555555555}|A01|总部|12.5|True|2024-01-02 03:04:05|0102|first",
                  "{21111111-2222-3333-4444-555555555555}|B01|<null>|<null>|False|<null>||<null>",
                  "{31111111-2222-3333-4444-555555555555}|A02|分部|0.5|False|<null>||0012"}));
    // Back from the transfer file into a second account set, whose table is created from DSColumnDefine.
    TDataExport back;
    back.SourceConnection().SetConnectionString(JetString(update));
    CreateJetDatabase(JetString(dir.File("Lumo02.mdb")));
    back.TargetConnection()->SetConnectionString(JetString(dir.File("Lumo02.mdb")));
    back.SourceType = back.TargetType = dbAccess;
    back.TransferTable("Sys_PurFunRes", "");
    EXPECT_EQ(Rows(*back.TargetConnection(), "select RwID, Note from Sys_PurFunRes order by RwID"),
              (std::vector<std::string>{"1|first", "2|<null>", "3|0012"}));
}

TEST_F(JetTransfer, NullOnlyRowInsertsNothingAndDefaultsApply) {
    ex.SourceConnection().Open();
    ex.SourceConnection().Execute("create table N (A LONG, B varchar(5))");
    ex.SourceConnection().Execute("insert into N values (null, null)");
    ex.SourceConnection().Execute("insert into N values (4, null)");
    ex.TargetConnection()->Open();
    ex.TargetConnection()->Execute("create table N (A LONG, B varchar(5) default 'dflt')");
    ex.TransferTable("N", "");
    EXPECT_EQ(Target("select A, B from N"), std::vector<std::string>{"4|dflt"});
}

TEST_F(JetTransfer, FailedCopyLeavesTheTargetTableAsItWas) {
    ex.TransferTable("Sys_PurFunRes", "");
    ex.TargetConnection()->Execute("create unique index ux on Sys_PurFunRes (StdCode)");
    ex.TargetConnection()->Execute("insert into Sys_PurFunRes (RwID, StdCode) values (9, 'A01x')");
    ex.SourceConnection().Execute("update Sys_PurFunRes set StdCode = 'A01x' where RwID = 3");
    // RwID 1 and 3 are deleted and 1 is inserted again before the duplicate fails.
    EXPECT_THROW(ex.TransferTable("Sys_PurFunRes", " and RwID in (1,3) "), std::exception);
    EXPECT_EQ(Target("select RwID from Sys_PurFunRes order by RwID"),
              (std::vector<std::string>{"1", "2", "3", "9"}));
}

TEST_F(JetTransfer, SecondObjectFailsOnTheExistingSideTable) {
    ex.SourceConnection().Open();
    ex.SourceConnection().Execute("create table Other (K varchar(10))");
    ex.TransferTable("Sys_PurFunRes", "");
    ex.TransferTable("Other", "");
    EXPECT_EQ(Target("select count(*) from DSColumnDefine"), std::vector<std::string>{"10"});
    TDataExport second;
    second.SourceConnection().SetConnectionString(ex.SourceConnection().ConnectionString());
    second.TargetConnection()->SetConnectionString(JetString(update));
    second.SourceType = second.TargetType = dbAccess;
    ex.TargetConnection()->Execute("drop table Other");
    EXPECT_TRUE(
        FailsWith<EDatabaseError>([&] { second.TransferTable("Other", ""); },
                                  "SQL执行错误，详细信息如下：【create table DSColumnDefine ( TABLE_NAME "
                                  "varchar(255),\r\n COLUMN_NAME varchar(255),\r\n DATA_TYPE long,\r\n "
                                  "CHARACTER_MAXIMUM_LENGTH long,\r\n NUMERIC_PRECISION long,\r\n "
                                  "NUMERIC_SCALE long,\r\n IS_NULLABLE varchar(10),\r\n ORDINAL_POSITION "
                                  "long,\r\n COLUMN_HASDEFAULT int,\r\n COLUMN_DEFAULT varchar(20)\r\n )】"
                                  "table DSColumnDefine already exists"));
    // The failed copy rolled back the table it had created.
    EXPECT_EQ(Target("select count(*) from sqlite_master where name = 'Other'"),
              std::vector<std::string>{"0"});
}

TEST_F(JetTransfer, CatalogueOfAJetSourcePrefersColumnDefines) {
    ex.TransferTable("Sys_PurFunRes", " and 1<>1 ");
    ex.TargetConnection()->Execute("create table Plain (K varchar(10))");
    std::unique_ptr<Recordset> cat;
    ex.OpenCatalogue(*ex.TargetConnection(), dbAccess, "Sys_PurFunRes", "", "", adSchemaColumns, cat);
    EXPECT_EQ(cat->Value("CHARACTER_MAXIMUM_LENGTH").AsInt64(), 0);  // G_ID row of the side table
    EXPECT_EQ(cat->FieldCount(), 10);
    ex.OpenCatalogue(*ex.TargetConnection(), dbAccess, "Plain", "", "", adSchemaColumns, cat);
    EXPECT_EQ(cat->FieldCount(), static_cast<int>(std::size(kColumnsSchemaFields)));
    EXPECT_EQ(cat->Value("CHARACTER_MAXIMUM_LENGTH").AsInt64(), 10);
}

TEST_F(JetTransfer, StatementFailuresCarryTheWrappedText) {
    std::unique_ptr<Recordset> rs;
    EXPECT_TRUE(FailsWith<EDatabaseError>(
        [&] { ex.OpenTable(ex.SourceConnection(), "Missing", " and 1=1", rs); },
        "SQL执行错误，详细信息如下：【select * from Missing where 1=1  and 1=1】no such table: Missing"));
    EXPECT_EQ(rs, nullptr);
    EXPECT_NO_THROW(ex.ExecSQL(ex.SourceConnection(), ""));
    EXPECT_FALSE(ex.TableExists(ex.SourceConnection(), dbAccess, "Missing"));
    EXPECT_TRUE(ex.TableExists(ex.SourceConnection(), dbAccess, "sys_purfunres"));
    EXPECT_THROW(ex.TransferTable("Missing", ""), EDatabaseError);
}

TEST_F(JetTransfer, QuotesInDefaultsAndNamesAreKept) {
    // A text default of an embedded or Jet source is a literal that keeps its quotes; a server's
    // catalogue gives its defaults in parentheses, and a bare literal of it loses its quotes.
    struct Case {
        kestrane::support::TKVDataBaseType source;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        {dbAccess, {"Title|1|('')", "Code|1|'it''s'", "Quote|1|''"}},
        {dbtMsSql, {"Title|1|('')", "Code|1|it''s", "Quote|1|''"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.source);
        ex.SourceType = c.source;
        const std::string table = "Q" + std::to_string(++n);
        MemoryRecordset cat = Catalogue(table, {{"Title", 202, 50, 0, 0, true, 1, "('')"},
                                                {"Code", 202, 10, 0, 0, true, 2, "'it''s'"},
                                                {"Quote", 3, 0, 10, 0, true, 3, "'"}});
        ex.CreateTableFromCatalogue(*ex.TargetConnection(), dbAccess, cat, table);
        EXPECT_EQ(Target("select COLUMN_NAME, COLUMN_HASDEFAULT, COLUMN_DEFAULT from DSColumnDefine where "
                         "TABLE_NAME = '" +
                         table + "'"),
                  c.want);
    }
}

TEST(FlowDesk, OptionRowReplacedAndVerControlCleared) {
    TempDir dir;
    const std::string set =
        MakeJetFile(dir.File("Set.mdb"), {"create table JC_SysOptInfo (G_ID GUID, RwID LONG, StdCode "
                                          "varchar(100), IntValue LONG, FloatValue FLOAT, "
                                          "GUIDValue varchar(40), BlobValue LONGBINARY, InfoType LONG, State "
                                          "LONG, UserID varchar(40), ZTYear LONG, "
                                          "OrgID LONG, Extra varchar(10))"});
    MakeJetFile(dir.File("LumoConfig.mdb"),
                {"create table VerControl (V LONG)", "insert into VerControl values (1)"});
    std::string content;
    for (int i = 0; i < 3000; ++i) content += static_cast<char>(i % 251);
    WriteFile(dir.File("FlowDesk.dat"), content);

    TDataExport ex;
    ex.TargetConnection()->SetConnectionString(set);
    ex.TargetType = dbAccess;
    ex.InsertFlowDeskOption(dir.File("FlowDesk.dat"));
    auto& c = *ex.TargetConnection();
    const std::string year = std::to_string(1900 + [] {
        std::time_t t = std::time(nullptr);
        std::tm tm{};
        localtime_r(&t, &tm);
        return tm.tm_year;
    }());
    EXPECT_EQ(
        Rows(c,
             "select RwID, StdCode, IntValue, FloatValue, GUIDValue, length(BlobValue), InfoType, State, "
             "UserID, ZTYear, OrgID, Extra from JC_SysOptInfo"),
        std::vector<std::string>{
            "1|L5_SysOptInfo_UserUICfg_FlowDesk|0|0|{00000000-0000-0000-0000-000000000000}|"
            "3000|1024|1|{00000000-0000-0000-0000-000000000000}|" +
            year + "|0|<null>"});
    auto blob = c.Execute("select BlobValue, G_ID from JC_SysOptInfo");
    EXPECT_EQ(blob->Value(0).AsString(), content);
    EXPECT_TRUE(kestrane::support::TryStringToGuid(blob->Value(1).AsString()).has_value());
    {
        Connection cfg(JetString(dir.File("LumoConfig.mdb")));
        cfg.Open();
        EXPECT_EQ(Rows(cfg, "select count(*) from VerControl"), std::vector<std::string>{"0"});
    }
    // A second run replaces the row; other rows keep their numbers and the new one follows the largest.
    c.Execute("insert into JC_SysOptInfo (RwID, StdCode) values (7, 'Other')");
    ex.InsertFlowDeskOption(dir.File("FlowDesk.dat"));
    EXPECT_EQ(Rows(c, "select RwID, StdCode from JC_SysOptInfo order by RwID"),
              (std::vector<std::string>{"7|Other", "8|L5_SysOptInfo_UserUICfg_FlowDesk"}));
}

TEST(FlowDesk, NothingWithoutTheTableOrTheFile) {
    TempDir dir;
    const std::string set = MakeJetFile(dir.File("Set.mdb"), {"create table X (A LONG)"});
    MakeJetFile(dir.File("LumoConfig.mdb"),
                {"create table VerControl (V LONG)", "insert into VerControl values (1)"});
    WriteFile(dir.File("FlowDesk.dat"), "abc");
    TDataExport ex;
    ex.TargetConnection()->SetConnectionString(set);
    ex.TargetType = dbAccess;
    ex.InsertFlowDeskOption(dir.File("FlowDesk.dat"));
    ex.InsertFlowDeskOption(dir.File("Absent.dat"));
    Connection cfg(JetString(dir.File("LumoConfig.mdb")));
    cfg.Open();
    EXPECT_EQ(Rows(cfg, "select count(*) from VerControl"), std::vector<std::string>{"1"});
    TDataExport::ClearVerControl(dir.File("nowhere"));  // never fails
    WriteFile(dir.File("bad/LumoConfig.mdb"), "not a database");
    TDataExport::ClearVerControl(dir.File("bad"));
}

TEST(DBProcessor, ConnectsRunsAndLetsErrorsThrough) {
    TempDir dir;
    MakeJetFile(dir.File("A.mdb"), {"create table T (A LONG)"});
    TDBProcessor p;
    kestrane::support::TDBInfoRec jet;
    jet.DBType = dbAccess;
    EXPECT_TRUE(p.Connect(jet, dir.File("A.mdb")));
    p.ExecSQL("insert into T values (5)");
    std::unique_ptr<Recordset> rs;
    p.OpenQuery("select A from T", rs);
    EXPECT_EQ(rs->Value(0).AsInt64(), 5);
    p.connection().Close();
    p.OpenQuery("select count(*) from T", rs);  // reopened
    EXPECT_EQ(rs->Value(0).AsInt64(), 1);
    EXPECT_TRUE(
        FailsWith<EDatabaseError>([&] { p.ExecSQL("select * from Missing"); }, "no such table: Missing"));
    EXPECT_THROW(p.Connect(jet, dir.File("None.mdb")), EDatabaseError);
    std::string err;
    EXPECT_FALSE(TestConnection(jet, err));
    EXPECT_EQ(err, "Could not find file ''.");
    jet.Server = dir.path().string();
    EXPECT_TRUE(TestConnection(jet, err));
    EXPECT_EQ(err, "");
}

// ---- SQL Server and Oracle texts through the recording driver ----

TEST(ServerTexts, CatalogueIntoJetTarget) {
    RecordingServers servers;
    servers.db->OnSchema(adSchemaColumns,
                         Catalogue("Sys_Bill", {{"Amount", 131, 0, 18, 2, false, 3, "(0)"},
                                                {"Title", 202, 50, 0, 0, true, 2, "('')"},
                                                {"Memo", 202, 300, 0, 0, true, 4, nullptr},
                                                {"G_ID", 72, 0, 0, 0, false, 1, nullptr},
                                                {"OrgName", 202, 100, 0, 0, true, 5, nullptr},
                                                {"Made", 135, 0, 0, 0, true, 6, "(getdate())"}}));
    TempDir dir;
    TDataExport ex;
    ex.SourceConnection().SetConnectionString(kMsSource);
    ex.SourceType = dbtMsSql;
    ASSERT_TRUE(TDataExport::CreateAccessDB(dir.File("Update.mdb")));
    ex.TargetConnection()->SetConnectionString(JetString(dir.File("Update.mdb")));
    ex.TargetType = dbAccess;
    ex.TransferTable("Sys_Bill", " and 1<>1 ");
    ASSERT_EQ(servers.db->Statements(),
              std::vector<std::string>{"select * from Sys_Bill where 1=1  and 1<>1 "});
    // The catalogue is read before the rows are opened.
    ASSERT_GE(servers.db->Log().size(), 3u);
    const auto& schema = servers.db->Log()[1];
    EXPECT_EQ(schema.kind, RecordedStatement::Schema);
    EXPECT_EQ(servers.db->Log()[2].kind, RecordedStatement::Execute);
    EXPECT_EQ(schema.restrictions, (std::vector<Variant>{"Lumo01", "dbo", "Sys_Bill"}));
    auto& t = *ex.TargetConnection();
    EXPECT_EQ(Rows(t, "select sql from sqlite_master where name = 'Sys_Bill'"),
              std::vector<std::string>{
                  "CREATE TABLE Sys_Bill (\r\n[G_ID] GUID not null,\r\n[Title] varchar(50),\r\n"
                  "[Amount] FLOAT not null,\r\n[Memo] MEMO TEXT,\r\n[OrgName] varchar(100),\r\n"
                  "[Made] DATETIME)"});
    EXPECT_EQ(Rows(t,
                   "select COLUMN_NAME, DATA_TYPE, CHARACTER_MAXIMUM_LENGTH, IS_NULLABLE, COLUMN_HASDEFAULT, "
                   "COLUMN_DEFAULT from DSColumnDefine"),
              (std::vector<std::string>{"Amount|131|0|False|1|(0)", "Title|202|50|True|1|('')",
                                        "Memo|202|300|True|0|", "G_ID|72|0|False|1|SYS_GUID()",
                                        "OrgName|202|300|True|0|", "Made|135|0|True|0|"}));
}

TEST(ServerTexts, CreateClausesForServerTargets) {
    MemoryRecordset cat = Catalogue("T", {{"Amount", 131, 0, 18, 2, false, 2, "0"},
                                          {"RowId", 3, 0, 10, 0, true, 1, nullptr},
                                          {"Name", 202, 5000, 0, 0, true, 3, "'"},
                                          {"Made", 135, 0, 0, 0, true, 3, "getdate()"},
                                          {"G_ID", 72, 16, 0, 0, true, 4, "newid()"}});
    EXPECT_EQ(
        TDataExport::BuildCreateTable("T", cat, dbtOracle),
        "create table T (\r\n\"rowid\" number(10),\r\n\"AMOUNT\" number(18,2) default 0 not null,\r\n"
        "\"NAME\" VarChar2(4000) default '',\r\n\"MADE\" date,\r\n\"G_ID\" raw(16) default SYS_GUID())");
    EXPECT_EQ(
        TDataExport::BuildCreateTable("T", cat, dbtMsSql),
        "create table T (\r\n[RowId] Int,\r\n[Amount] numeric(18,2) default 0 not null,\r\n"
        "[Name] VarChar(5000) default '',\r\n[Made] Datetime,\r\n[G_ID] uniqueidentifier default NEWID())");
    MemoryRecordset none = Catalogue("E", {});
    EXPECT_EQ(TDataExport::BuildCreateTable("E", none, dbtMsSql), "create table E ()");
}

TEST(ServerTexts, OracleTargetRowsFlushAndParameters) {
    RecordingServers servers;
    servers.db->OnFail("select count(*) from SYS_PURFUNRES", "ORA-00942: table or view does not exist");
    TempDir dir;
    const std::string src = MakeJetFile(
        dir.File("Update.mdb"),
        {"create table Sys_PurFunRes (G_ID GUID, Flag BIT, Amount decimal(18,2), Name varchar(20), Nada "
         "LONG)",
         "insert into Sys_PurFunRes values ('{00112233-4455-6677-8899-AABBCCDDEEFF}', 1, 12.5, '名', null)",
         "insert into Sys_PurFunRes values (null, null, null, null, null)"});
    TDataExport ex;
    ex.SourceConnection().SetConnectionString(src);
    ex.SourceType = dbAccess;
    ex.TargetConnection()->SetConnectionString(kOraTarget);
    ex.TargetType = dbtOracle;
    ex.TransferTable("Sys_PurFunRes", "");
    const std::vector<std::string> want = {
        "select count(*) from SYS_PURFUNRES",
        "create table Sys_PurFunRes (\r\n\"G_ID\" raw(16),\r\n\"FLAG\" number(1),\r\n\"AMOUNT\" "
        "number(18,2),\r\n"
        "\"NAME\" VarChar2(20),\r\n\"NADA\" number(10))",
        "alter system flush shared_pool",
        "insert into Sys_PurFunRes(\"G_ID\",\"FLAG\",\"AMOUNT\",\"NAME\")\r\nvalues(?,?,?,?)",
        "alter system flush shared_pool",
    };
    EXPECT_EQ(servers.db->Statements(), want);
    const RecordedStatement* insert = nullptr;
    for (const auto& s : servers.db->Log())
        if (s.kind == RecordedStatement::Command) insert = &s;
    ASSERT_NE(insert, nullptr);
    EXPECT_TRUE(insert->prepared);
    ASSERT_EQ(insert->params.size(), 4u);
    EXPECT_EQ(insert->params[0].Type, adVarBinary);
    EXPECT_EQ(insert->params[0].Value.AsBytes(), (Bytes{0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88,
                                                        0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}));
    EXPECT_EQ(insert->params[1].Type, adSmallInt);
    EXPECT_EQ(insert->params[1].Value, Variant(std::int64_t{1}));
    // A Jet decimal column reads as adNumeric; a decimal that a double gives back goes as the double.
    EXPECT_EQ(insert->params[2].Type, adDouble);
    EXPECT_EQ(insert->params[2].Value, Variant(12.5));
    EXPECT_EQ(insert->params[3].Type, adVarChar);
    EXPECT_EQ(insert->params[3].Value, Variant("名"));
    for (const auto& p : insert->params) EXPECT_EQ(p.Size, -1);
}

TEST(ServerTexts, OracleFlushRefusedEndsTheCopy) {
    RecordingServers servers;
    servers.db->OnFail("alter system flush shared_pool", "ORA-01031: insufficient privileges");
    TempDir dir;
    TDataExport ex;
    ex.SourceConnection().SetConnectionString(
        MakeJetFile(dir.File("U.mdb"), {"create table T (A LONG)", "insert into T values (1)"}));
    ex.SourceType = dbAccess;
    ex.TargetConnection()->SetConnectionString(kOraTarget);
    ex.TargetType = dbtOracle;
    EXPECT_TRUE(
        FailsWith<EDatabaseError>([&] { ex.TransferTable("T", ""); },
                                  "SQL执行错误，详细信息如下：【alter system flush shared_pool】ORA-01031: "
                                  "insufficient privileges"));
    EXPECT_EQ(servers.db->Statements().front(), "select count(*) from T");
    EXPECT_EQ(servers.db->Statements().at(1), "delete from T where 1=1 ");
}

TEST(ServerTexts, OracleCatalogueQueryAndGuidBytesBack) {
    RecordingServers servers;
    auto cat = NewColumnsRowset();
    std::vector<Variant> row(std::size(kColumnsSchemaFields), Variant::Null());
    row[3] = "G_ID";
    row[6] = std::int64_t{1};
    row[10] = "TRUE";
    row[11] = std::int64_t{128};
    row[13] = std::int64_t{16};
    cat->AddRow(row);
    const std::string catalogueSql =
        " select\r\n        null TABLE_CATALOG,\r\n        t.owner TABLE_SCHEMA,\r\n        t.Table_name "
        "TABLE_NAME,\r\n"
        "        t.Column_Name COLUMN_NAME,\r\n        null COLUMN_GUID,\r\n        null COLUMN_PROPID,\r\n"
        "        t.column_id ORDINAL_POSITION,\r\n        null COLUMN_HASDEFAULT,\r\n        null "
        "COLUMN_DEFAULT,\r\n"
        "        null COLUMN_FLAGS,\r\n        decode(t.nullable,'Y','TRUE','N','FALSE') IS_NULLABLE,\r\n"
        "        decode(t.data_type,\r\n                           'CHAR',129,\r\n                           "
        "'VARCHAR2',129,\r\n                           'NCHAR',129,\r\n                           "
        "'NVARCHAR2',129,\r\n"
        "                           'NUMBER',decode(t.data_precision,null,139,131),\r\n                      "
        "     "
        "'DATE',135,\r\n                           'LONG',129,\r\n                           'RAW',128,\r\n"
        "                           'LONG RAW',128,\r\n                           'ROWID',128,\r\n           "
        "       "
        "         'BLOB',128,\r\n                           'CLOB',129,\r\n                           "
        "'NCLOB',129,\r\n"
        "                           'BFILE',128,\r\n                           'UROWID',13,\r\n              "
        "         "
        "    'FLOAT',5,\r\n                           'XMLTYPE',13,\r\n                           "
        "'TIMESTAMP(6)',135,"
        "\r\n                           129\r\n              ) DATA_TYPE,\r\n        null TYPE_GUID,\r\n     "
        "   "
        "t.data_length CHARACTER_MAXIMUM_LENGTH,\r\n        t.char_length CHARACTER_OCTET_LENGTH,\r\n        "
        "t.data_precision NUMERIC_PRECISION,\r\n        t.data_scale NUMERIC_SCALE,\r\n        "
        "decode(t.data_type,'DATE',t.data_length,null) DATETIME_PRECISION,\r\n        null "
        "CHARACTER_SET_CATALOG,\r\n"
        "        null CHARACTER_SET_SCHEMA,\r\n        null CHARACTER_SET_NAME,\r\n        null "
        "COLLATION_CATALOG,\r\n"
        "        null COLLATION_SCHEMA,\r\n        null COLLATION_NAME,\r\n        null DOMAIN_CATALOG,\r\n  "
        "      "
        "null DOMAIN_SCHEMA,\r\n        null DOMAIN_NAME,\r\n        null \"DESCRIPTION\"\r\n from "
        "all_tab_columns t\r\n"
        " where t.owner='LUMO01' and t.table_name='SYS_BILL'\r\n order by t.column_id";
    servers.db->OnQuery(catalogueSql, *cat);
    MemoryRecordset data({FieldInfo("G_ID", adBinary, 16)});
    data.AddRow({Bytes{0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD,
                       0xEE, 0xFF}});
    servers.db->OnQuery("select * from Sys_Bill where 1=1 ", data);
    TempDir dir;
    TDataExport ex;
    ex.SourceConnection().SetConnectionString(
        "Provider=OraOLEDB.Oracle.1;Data Source=orcl_db1;User ID=lumo01;Password=p;Persist Security "
        "Info=True");
    ex.SourceType = dbtOracle;
    ASSERT_TRUE(TDataExport::CreateAccessDB(dir.File("Update.mdb")));
    ex.TargetConnection()->SetConnectionString(JetString(dir.File("Update.mdb")));
    ex.TargetType = dbAccess;
    ex.TransferTable("Sys_Bill", "");
    EXPECT_EQ(servers.db->Statements(),
              (std::vector<std::string>{catalogueSql, "select * from Sys_Bill where 1=1 "}));
    EXPECT_EQ(Rows(*ex.TargetConnection(), "select G_ID from Sys_Bill"),
              std::vector<std::string>{"{00112233-4455-6677-8899-AABBCCDDEEFF}"});
    EXPECT_EQ(Rows(*ex.TargetConnection(), "select sql from sqlite_master where name = 'Sys_Bill'"),
              std::vector<std::string>{"CREATE TABLE Sys_Bill (\r\n[G_ID] GUID)"});
}

TEST(ServerTexts, InsertParameterTable) {
    struct Case {
        int type;
        std::int64_t size;
        Variant value;
        kestrane::support::TKVDataBaseType target;
        int wantType;
        Variant want;
    };
    const Bytes g = {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66,
                     0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    const char* text = "{00112233-4455-6677-8899-AABBCCDDEEFF}";
    const Case cases[] = {
        {adVarWChar, 50, Variant("x"), dbtMsSql, adVarChar, Variant("x")},
        {adLongVarChar, 0, Variant(std::int64_t{5}), dbtMsSql, adVarChar, Variant("5")},
        {adBoolean, 2, Variant(true), dbtMsSql, adSmallInt, Variant(std::int64_t{1})},
        {adBoolean, 2, Variant(false), dbtOracle, adSmallInt, Variant(std::int64_t{0})},
        {adDecimal, 19, Variant::FromDecimal("12.5"), dbtMsSql, adDouble, Variant(12.5)},
        {adVarNumeric, 19, Variant::FromDecimal("3"), dbtOracle, adDouble, Variant(3.0)},
        // Decimals: whole numbers as integers, those a double gives back as doubles, the rest as text.
        {adNumeric, 19, Variant::FromDecimal("12.5"), dbtMsSql, adDouble, Variant(12.5)},
        {adNumeric, 19, Variant::FromDecimal("12.50"), dbAccess, adDouble, Variant(12.5)},
        {adNumeric, 19, Variant::FromDecimal(".50"), dbtOracle, adDouble, Variant(0.5)},
        {adNumeric, 19, Variant::FromDecimal("-737553.923792349"), dbAccess, adDouble,
         Variant(-737553.923792349)},
        {adNumeric, 19, Variant::FromDecimal("0.30000000000000004"), dbAccess, adDouble,
         Variant(0.30000000000000004)},
        {adNumeric, 19, Variant::FromDecimal("1e+20"), dbAccess, adDouble, Variant(1e20)},
        {adNumeric, 19, Variant::FromDecimal("5.00"), dbtMsSql, adNumeric, Variant(std::int64_t{5})},
        {adCurrency, 19, Variant::FromDecimal("-9223372036854775808"), dbAccess, adCurrency,
         Variant(std::numeric_limits<std::int64_t>::min())},
        {adNumeric, 19, Variant::FromDecimal("12345678901234567.89"), dbtMsSql, adNumeric,
         Variant::FromDecimal("12345678901234567.89")},
        {adNumeric, 19, Variant::FromDecimal("99999999999999999999"), dbtMsSql, adNumeric,
         Variant::FromDecimal("99999999999999999999")},
        {adNumeric, 19, Variant::FromDecimal("0.1000000000000000055511151231257827"), dbtMsSql, adNumeric,
         Variant::FromDecimal("0.1000000000000000055511151231257827")},
        {adNumeric, 19, Variant(std::int64_t{7}), dbAccess, adNumeric, Variant(std::int64_t{7})},
        {adGUID, 16, Variant(text), dbtOracle, adVarBinary, Variant(g)},
        {adGUID, 16, Variant("not a guid"), dbtOracle, adVarBinary, Variant("not a guid")},
        {adGUID, 16, Variant(text), dbtMsSql, adGUID, Variant(text)},
        {adBinary, 16, Variant(g), dbAccess, adGUID, Variant(text)},
        {adVarBinary, 16, Variant("text"), dbAccess, adGUID, Variant("text")},
        {adBinary, 16, Variant(g), dbtMsSql, adBinary, Variant(g)},
        {adLongVarBinary, 0, Variant(Bytes{1}), dbAccess, adLongVarBinary, Variant(Bytes{1})},
        {adInteger, 4, Variant(std::int64_t{9}), dbtOracle, adInteger, Variant(std::int64_t{9})},
    };
    for (const auto& c : cases) {
        const Parameter p = InsertParameter(FieldInfo("F", c.type, c.size), c.value, c.target);
        EXPECT_EQ(p.Type, c.wantType) << c.type;
        EXPECT_EQ(p.Value, c.want) << c.type;
    }
    EXPECT_THROW(InsertParameter(FieldInfo("F", adBinary, 16), Variant(Bytes{1, 2}), dbAccess),
                 EDatabaseError);
    Variant v;
    const auto guid = kestrane::support::StringToGuid(text);
    TDataExport::GuidValue(dbtOracle, guid, v);
    EXPECT_EQ(v, Variant(g));
    TDataExport::GuidValue(dbtMsSql, guid, v);
    EXPECT_EQ(v, Variant(text));
    EXPECT_EQ(GuidBytesToText(GuidTextToBytes(Variant(text))), Variant(text));
}

TEST(ServerTexts, TableExistsAndScripts) {
    RecordingServers servers;
    servers.db->OnFail("select count(*) from Nope", "Invalid object name 'Nope'.");
    TDataExport ex;
    ex.TargetConnection()->SetConnectionString(kMsSource);
    EXPECT_TRUE(ex.TableExists(*ex.TargetConnection(), dbtMsSql, "Sys_PurFunRes"));
    EXPECT_FALSE(ex.TableExists(*ex.TargetConnection(), dbtMsSql, "Nope"));
    EXPECT_TRUE(ex.TableExists(*ex.TargetConnection(), dbtOracle, "Sys_PurFunRes"));
    EXPECT_EQ(servers.db->Statements(),
              (std::vector<std::string>{"select count(*) from Sys_PurFunRes", "select count(*) from Nope",
                                        "select count(*) from SYS_PURFUNRES"}));
    // Both connections of the transfer object wait without limit.
    EXPECT_EQ(ex.SourceConnection().ConnectionTimeout(), 0);
    EXPECT_EQ(ex.TargetConnection()->CommandTimeout(), 0);
    ex.ReplaceTargetConnection(nullptr);
    EXPECT_EQ(ex.TargetConnection(), nullptr);
    EXPECT_THROW(ex.TransferTableWithScripts("T", "", "", ""), EDatabaseError);
}

TEST(ServerTexts, TestConnectionOpensWithoutDatabase) {
    RecordingServers servers;
    kestrane::support::TDBInfoRec srv;
    srv.Server = "SRV";
    srv.Integrated = true;
    std::string err = "old";
    EXPECT_TRUE(TestConnection(srv, err));
    EXPECT_EQ(err, "");
    ASSERT_EQ(servers.db->Log().size(), 2u);
    EXPECT_EQ(servers.db->Log()[0].text,
              "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Data Source=SRV");
    EXPECT_EQ(servers.db->Log()[1].kind, RecordedStatement::Close);
    servers.db->FailOpen("Login failed for user 'sa'.");
    EXPECT_FALSE(TestConnection(srv, err));
    EXPECT_EQ(err, "Login failed for user 'sa'.");
}

TEST(ServerTexts, RecordingDriverRefusesStatementsWhileRowsPending) {
    RecordingServers servers;
    MemoryRecordset two({FieldInfo("A", adInteger, 4)});
    two.AddRow({std::int64_t{1}});
    two.AddRow({std::int64_t{2}});
    servers.db->OnQuery("select A from T", two);
    Connection c(kMsSource);
    c.Open();
    auto rows = c.Execute("select A from T");
    EXPECT_TRUE(FailsWith<EDatabaseError>([&] { c.OpenSchema(adSchemaColumns, {}); },
                                          "Connection is busy with results for another command"));
    EXPECT_THROW(c.Execute("select 1"), EDatabaseError);
    rows->MoveNext();
    rows->MoveNext();  // read to the end: the connection is free again
    EXPECT_NO_THROW(c.Execute("select 1"));
    auto again = c.Execute("select A from T");
    again.reset();  // closed unread
    EXPECT_NO_THROW(c.Execute("select 1"));
    // Oracle's drivers keep several results open on a connection.
    Connection ora(kOraTarget);
    ora.Open();
    auto pending = ora.Execute("select A from T");
    EXPECT_NO_THROW(ora.Execute("select 1"));
}

TEST(ServerTexts, SqlServerSourceReadsItsCatalogueBeforeItsRows) {
    RecordingServers servers;  // refuses a second statement while rows are pending
    servers.db->OnSchema(adSchemaColumns,
                         Catalogue("Sys_Bill", {{"RwID", 3, 0, 10, 0, false, 1, nullptr},
                                                {"Title", 202, 50, 0, 0, true, 2, nullptr}}));
    MemoryRecordset data({FieldInfo("RwID", adInteger, 4), FieldInfo("Title", adVarWChar, 50)});
    data.AddRow({std::int64_t{1}, "一"});
    data.AddRow({std::int64_t{2}, Variant::Null()});
    servers.db->OnQuery("select * from Sys_Bill where 1=1 ", data);
    TempDir dir;
    TDataExport ex;
    ex.SourceConnection().SetConnectionString(kMsSource);
    ex.SourceType = dbtMsSql;
    ASSERT_TRUE(TDataExport::CreateAccessDB(dir.File("Update.mdb")));
    ex.TargetConnection()->SetConnectionString(JetString(dir.File("Update.mdb")));
    ex.TargetType = dbAccess;
    ex.TransferTable("Sys_Bill", "");
    EXPECT_EQ(Rows(*ex.TargetConnection(), "select RwID, Title from Sys_Bill order by RwID"),
              (std::vector<std::string>{"1|一", "2|<null>"}));
    EXPECT_EQ(
        Rows(*ex.TargetConnection(), "select COLUMN_NAME from DSColumnDefine order by ORDINAL_POSITION"),
        (std::vector<std::string>{"RwID", "Title"}));
}

namespace {

// The recorded log in short: statements by their text, inserts as "insert", transaction marks by name.
std::vector<std::string> Steps(const RecordingDatabase& db) {
    std::vector<std::string> out;
    for (const auto& s : db.Log()) switch (s.kind) {
            case RecordedStatement::Execute:
                out.push_back(s.text.substr(0, s.text.find("\r\n")));
                break;
            case RecordedStatement::Command:
                out.push_back("insert");
                break;
            case RecordedStatement::Begin:
                out.push_back("begin");
                break;
            case RecordedStatement::Commit:
                out.push_back("commit");
                break;
            case RecordedStatement::Rollback:
                out.push_back("rollback");
                break;
            default:
                break;
        }
    return out;
}

}  // namespace

TEST(ServerTexts, ServerTargetsCopyATableInOneTransaction) {
    const char* kMsTarget = "Provider=SQLOLEDB.1;Data Source=S;User ID=sa;Password=p;Initial Catalog=L";
    struct Case {
        const char* name;
        kestrane::support::TKVDataBaseType kind;
        const char* cs;
        bool exists;
        bool insertFails;
        std::vector<std::string> want;
    };
    const Case cases[] = {
        {"there",
         dbtMsSql,
         kMsTarget,
         true,
         false,
         {"select count(*) from T", "begin", "delete from T where 1=1 ", "insert", "insert", "commit"}},
        // The create statement goes before the transaction: Oracle commits it by itself.
        {"created",
         dbtMsSql,
         kMsTarget,
         false,
         false,
         {"select count(*) from T", "create table T (", "begin", "insert", "insert", "commit"}},
        {"oracle",
         dbtOracle,
         kOraTarget,
         true,
         false,
         {"select count(*) from T", "begin", "delete from T where 1=1 ", "alter system flush shared_pool",
          "insert", "alter system flush shared_pool", "insert", "commit"}},
        {"failing",
         dbtMsSql,
         kMsTarget,
         true,
         true,
         {"select count(*) from T", "begin", "delete from T where 1=1 ", "insert", "rollback"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingServers servers;
        if (!c.exists) servers.db->OnFail("select count(*) from T", "Invalid object name 'T'.");
        if (c.insertFails) servers.db->OnFail("insert into T", "Violation of PRIMARY KEY constraint", true);
        TempDir dir;
        TDataExport ex;
        ex.SourceConnection().SetConnectionString(
            MakeJetFile(dir.File("Update.mdb"),
                        {"create table T (A LONG)", "insert into T values (1)", "insert into T values (2)"}));
        ex.SourceType = dbAccess;
        ex.TargetConnection()->SetConnectionString(c.cs);
        ex.TargetType = c.kind;
        if (c.insertFails)
            EXPECT_THROW(ex.TransferTable("T", ""), EDatabaseError);
        else
            ex.TransferTable("T", "");
        EXPECT_EQ(Steps(*servers.db), c.want);
    }
}

TEST(ServerTexts, EmbeddedTextDefaultsGiveValidServerDefaults) {
    TempDir dir;
    // Maker: an embedded account set into the transfer file; installer: the transfer file into SQL Server.
    TDataExport maker;
    maker.SourceConnection().SetConnectionString(MakeJetFile(
        dir.File("Lumo01.mdb"), {"create table D (Code varchar(10) default 'abc', Name varchar(10) "
                                 "default 'It''s', N LONG default 0)"}));
    ASSERT_TRUE(TDataExport::CreateAccessDB(dir.File("Update.mdb")));
    maker.TargetConnection()->SetConnectionString(JetString(dir.File("Update.mdb")));
    maker.SourceType = maker.TargetType = dbAccess;
    maker.TransferTable("D", "");
    EXPECT_EQ(Rows(*maker.TargetConnection(), "select COLUMN_NAME, COLUMN_DEFAULT from DSColumnDefine"),
              (std::vector<std::string>{"Code|'abc'", "Name|'It''s'", "N|0"}));

    RecordingServers servers;
    servers.db->OnFail("select count(*) from D", "Invalid object name 'D'.");
    TDataExport installer;
    installer.SourceConnection().SetConnectionString(JetString(dir.File("Update.mdb")));
    installer.SourceType = dbAccess;
    installer.TargetConnection()->SetConnectionString(kMsSource);
    installer.TargetType = dbtMsSql;
    installer.TransferTable("D", "");
    ASSERT_GE(servers.db->Statements().size(), 2u);
    EXPECT_EQ(
        servers.db->Statements()[1],
        "create table D (\r\n[Code] VarChar(10) default 'abc',\r\n[Name] VarChar(10) default 'It''s',\r\n"
        "[N] Int default 0)");
}
