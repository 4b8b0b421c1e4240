#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "db/data_export.h"
#include "db_test_util.h"

using namespace kestrane::db;
using namespace kestrane::db::testing;
using kestrane::support::dbAccess;
using kestrane::support::dbtMsSql;
using kestrane::support::dbtOracle;
using kestrane::support::TKVDataBaseType;
using kestrane::testing::FailsWith;
using Texts = std::vector<std::string>;

namespace {

const char* kMsSqlTarget =
    "Provider=SQLOLEDB.1;Data Source=S;User ID=sa;Password=p;Persist Security Info=True;Initial "
    "Catalog=LUMO01";
const char* kOracleTarget =
    "Provider=OraOLEDB.Oracle.1;Data Source=orcl_db1;User ID=lumo01;Password=p;Persist Security Info=True";

struct Column {
    const char* name;
    int type;
    std::int64_t size = 0;
    const char* dflt = nullptr;  // none when null
    int precision = 0;
    int scale = 0;
};

// A columns-schema rowset, positions in list order.
MemoryRecordset Catalogue(const std::vector<Column>& columns) {
    auto rs = NewColumnsRowset();
    std::int64_t position = 0;
    for (const Column& c : columns) {
        std::vector<Variant> row(std::size(kColumnsSchemaFields), Variant::Null());
        row[2] = "T";
        row[3] = c.name;
        row[6] = ++position;
        row[7] = c.dflt != nullptr;
        if (c.dflt) row[8] = c.dflt;
        row[10] = true;
        row[11] = std::int64_t{c.type};
        if (c.size) row[13] = c.size;
        if (c.precision) row[15] = std::int64_t{c.precision};
        if (c.scale) row[16] = std::int64_t{c.scale};
        rs->AddRow(std::move(row));
    }
    return *rs;
}

// A transfer file holding table T with its side-table rows, as the patch maker writes it.
std::string TransferFile(const TempDir& dir, const std::vector<Column>& columns) {
    const std::string file = dir.File("Update.mdb");
    EXPECT_TRUE(TDataExport::CreateAccessDB(file));
    TDataExport maker;
    maker.TargetType = dbAccess;
    maker.TargetConnection()->SetConnectionString(JetString(file));
    MemoryRecordset catalogue = Catalogue(columns);
    maker.CreateTableFromCatalogue(*maker.TargetConnection(), dbAccess, catalogue, "T");
    return JetString(file);
}

class SchemaSync : public ::testing::Test {
  protected:
    // A new transfer object from a transfer file with `source` as T to a recorded server of `kind`.
    TDataExport& Prepare(TKVDataBaseType kind, const std::vector<Column>& source) {
        ex = std::make_unique<TDataExport>();
        log.clear();
        ex->SourceType = dbAccess;
        ex->SourceConnection().SetConnectionString(TransferFile(dir, source));
        ex->TargetType = kind;
        ex->TargetConnection()->SetConnectionString(kind == dbtOracle ? kOracleTarget : kMsSqlTarget);
        ex->OnLog = [this](const void* sender, const std::string& msg) {
            EXPECT_EQ(sender, ex.get());
            log.push_back(msg);
        };
        return *ex;
    }
    // What went to the server, without the existence test and the Oracle catalogue query.
    Texts Sent() const {
        Texts out;
        for (const std::string& s : servers->db->Statements())
            if (s != "select count(*) from T" && s.rfind(" select\r\n", 0) != 0) out.push_back(s);
        return out;
    }

    TempDir dir;
    std::unique_ptr<RecordingServers> servers = std::make_unique<RecordingServers>();
    std::unique_ptr<TDataExport> ex;
    Texts log;
};

struct SyncCase {
    const char* what;
    TKVDataBaseType kind;
    std::vector<Column> source, target;
    std::vector<std::pair<std::string, std::string>> failing;  // statement, client message
    std::vector<std::string> withRows;                         // queries that find a row
    Texts sent = {};
    Texts notices = {};
    std::string refusal = {};  // empty: none
};

TEST_F(SchemaSync, ColumnsOfServerTargetsFollowTheSource) {
    const std::string typeRefusal =
        "【T】待更新的列【[Name]"
        "】更新【失败】，因为与目标字段类型不一致，强制更新会导致数据丢失！【源：VarChar(50)  "
        "目标：Int】";
    const std::string lengthRefusal =
        "【T】待更新的列【[Name]"
        "】更新【失败】，因为与目标字段长度不一致，强制更新会导致数据丢失！【源：VarChar(100)  "
        "目标：VarChar(50)】";
    const SyncCase cases[] = {
        {"a longer text column is widened when no value is longer",
         dbtMsSql,
         {{"Name", adVarWChar, 100}},
         {{"Name", adVarWChar, 50}},
         {},
         {},
         {"select * from T where len([Name]) > 100", "alter table T alter column [Name] VarChar(100)"}},
        {"a shorter column is tried, and the server's refusal is only a notice",
         dbtMsSql,
         {{"Name", adVarWChar, 50}, {"Qty", adInteger}},
         {{"Name", adVarWChar, 100}},
         {{"alter table T alter column [Name] VarChar(50)", "String or binary data would be truncated."}},
         {},
         {"alter table T alter column [Name] VarChar(50)", "alter table T add [Qty] Int"},
         {"提醒：更新字段失败，执行语句【alter table T alter column [Name] VarChar(50)】，详细原因是：String "
          "or "
          "binary data would be truncated."}},
        {"text onto a number is refused",
         dbtMsSql,
         {{"Name", adVarWChar, 50}, {"Qty", adInteger}},
         {{"Name", adInteger}},
         {},
         {},
         {},
         {typeRefusal},
         typeRefusal},
        {"a longer value stored refuses the widening",
         dbtMsSql,
         {{"Name", adVarWChar, 100}},
         {{"Name", adVarWChar, 50}},
         {},
         {"select * from T where len([Name]) > 100"},
         {"select * from T where len([Name]) > 100"},
         {lengthRefusal},
         lengthRefusal},
        {"long columns and the row keys are neither added nor altered",
         dbtMsSql,
         {{"Note", adLongVarWChar},
          {"Memo", adVarWChar, 0},
          {"Pic", adLongVarBinary, 100},
          {"rwid", adInteger},
          {"G_Id", adGUID},
          {"Qty", adInteger}},
         {{"rwid", adVarWChar, 5}},
         {},
         {},
         {"alter table T add [Qty] Int"}},
        {"a default of an existing column is added apart, of a new column not at all",
         dbtMsSql,
         {{"Amount", adNumeric, 0, "0", 18, 2}, {"Qty", adInteger, 0, "1"}, {"Made", adDate, 0, "getdate()"}},
         {{"Amount", adNumeric, 0, nullptr, 10, 0}, {"Made", adDate}},
         {{"alter table T add default 0 for [Amount] with values",
           "Column already has a DEFAULT bound to it."}},
         {},
         {"alter table T alter column [Amount] numeric(18,2)",
          "alter table T add default 0 for [Amount] with values", "alter table T add [Qty] Int",
          "alter table T alter column [Made] Datetime"},
         {"提醒：更新默认值失败，执行语句【alter table T add default 0 for [Amount] with "
          "values】，详细原因是："
          "Column already has a DEFAULT bound to it."}},
        {"names compare with case on SQL Server, so the add fails with a notice",
         dbtMsSql,
         {{"name", adVarWChar, 50}},
         {{"Name", adVarWChar, 50}},
         {{"alter table T add [name] VarChar(50)", "Column names in each table must be unique."}},
         {},
         {"alter table T add [name] VarChar(50)"},
         {"提醒：增加默认值失败，执行语句【alter table T add [name] VarChar(50)】，详细原因是：Column names "
          "in each "
          "table must be unique."}},
        {"Oracle modifies and adds with the default in the definition",
         dbtOracle,
         {{"Amount", adNumeric, 0, "0", 18, 2}, {"Qty", adInteger, 0, "1"}, {"Name", adVarWChar, 100}},
         {{"AMOUNT", adNumeric, 0, nullptr, 10, 0}, {"NAME", adChar, 50}},
         {},
         {},
         {"alter table T modify \"AMOUNT\" number(18,2) default 0",
          "alter table T add \"QTY\" number(10) default 1", "select * from T where length(\"NAME\") > 100",
          "alter table T modify \"NAME\" VarChar2(100)"}},
    };
    for (const SyncCase& c : cases) {
        SCOPED_TRACE(c.what);
        ex.reset();
        servers.reset();  // its drivers go before the next ones come
        servers = std::make_unique<RecordingServers>();
        TDataExport& sync = Prepare(c.kind, c.source);
        MemoryRecordset target = Catalogue(c.target);
        if (c.kind == dbtOracle)
            servers->db->OnQuery(" select\r\n", target, true);
        else
            servers->db->OnSchema(adSchemaColumns, target);
        for (const auto& [sql, message] : c.failing) servers->db->OnFail(sql, message);
        MemoryRecordset oneRow({"X"});
        oneRow.AddRow({std::int64_t{1}});
        for (const std::string& sql : c.withRows) servers->db->OnQuery(sql, oneRow);
        if (c.refusal.empty())
            EXPECT_NO_THROW(sync.SyncTableStructure("T", false));
        else
            EXPECT_TRUE(FailsWith<EDatabaseError>([&] { sync.SyncTableStructure("T", false); }, c.refusal));
        EXPECT_EQ(Sent(), c.sent);
        EXPECT_EQ(log, c.notices);
    }
}

TEST_F(SchemaSync, OracleCatalogueIsAskedForTheSchemaUserAndTable) {
    Prepare(dbtOracle, {{"Qty", adInteger}}).SyncTableStructure("T", false);
    const Texts all = servers->db->Statements();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], "select count(*) from T");
    EXPECT_NE(all[1].find(" where t.owner='LUMO01' and t.table_name='T'\r\n"), std::string::npos);
    EXPECT_EQ(all[2], "alter table T add \"QTY\" number(10)");
}

TEST_F(SchemaSync, MissingOrRecreatedTablesAreCreatedFromTheSource) {
    TDataExport& sync = Prepare(dbtMsSql, {{"RwID", adInteger}, {"Qty", adInteger, 0, "1"}});
    servers->db->OnFail("select count(*) from T", "Invalid object name 'T'.");
    sync.SyncTableStructure("T", false);
    sync.SyncTableStructure("T", true);
    const std::string create = "create table T (\r\n[RwID] Int,\r\n[Qty] Int default 1)";
    EXPECT_EQ(Sent(), (Texts{create, "drop table T ", create}));
    EXPECT_FALSE(sync.ColumnDefineCreated);

    servers->db->OnFail("drop table T ", "Cannot drop the table 'T'.");
    EXPECT_TRUE(
        FailsWith<EDatabaseError>([&] { sync.SyncTableStructure("T", true); },
                                  "SQL执行错误，详细信息如下：【drop table T 】Cannot drop the table 'T'."));
}

TEST(ColumnClasses, LongBoundedAndFitting) {
    // IsLongType, IsBoundedString of (t, n).
    struct Class {
        int t;
        std::int64_t n;
        bool isLong, bounded;
    };
    const Class classes[] = {
        {adVarWChar, 50, false, true},      {adChar, 2147483646, false, true},
        {adVarChar, 0, true, false},        {adBSTR, 2147483647, true, false},
        {adLongVarChar, 10, true, false},   {adLongVarWChar, 0, true, false},
        {adBinary, 16, false, false},       {adVarBinary, 17, true, false},
        {adLongVarBinary, 0, false, false}, {adInteger, 4, false, false},
        {adGUID, 16, false, false},
    };
    for (const Class& c : classes) {
        EXPECT_EQ(TDataExport::IsLongType(c.t, c.n), c.isLong) << c.t << " " << c.n;
        EXPECT_EQ(TDataExport::IsBoundedString(c.t, c.n), c.bounded) << c.t << " " << c.n;
    }
    struct Fit {
        int t;
        std::int64_t n;
        int tt;
        std::int64_t nn;
        bool fits;
    };
    const Fit fits[] = {
        {adVarWChar, 50, adVarChar, 50, true},    {adVarWChar, 51, adVarChar, 50, false},
        {adVarWChar, 50, adInteger, 0, false},    {adVarWChar, 0, adLongVarWChar, 0, true},
        {adVarWChar, 0, adVarWChar, 4000, false}, {adLongVarChar, 0, adLongVarWChar, 0, true},
        {adLongVarChar, 0, adVarWChar, 0, false}, {adVarBinary, 16, adLongVarBinary, 0, true},
        {adBinary, 16, adGUID, 16, false},        {adInteger, 0, adVarWChar, 10, true},
        {adDate, 0, adBoolean, 0, true},
    };
    for (const Fit& f : fits)
        EXPECT_EQ(TDataExport::ColumnFits(f.t, f.n, f.tt, f.nn), f.fits) << f.t << " " << f.n << " " << f.tt;
}

// ---- views and procedures ----

TEST(RecreateObject, DropsWhenPresentThenRunsTheScriptOfTheKind) {
    struct Case {
        TKVDataBaseType kind;
        TObjectScript item;
        Texts sent;
    };
    const std::string oracleDrop =
        "declare num integer;\r\nbegin\r\n  select count(*) into num from user_objects\r\n  where "
        "object_name = "
        "'V_X' and object_type = 'VIEW' and rownum = 1;\r\n  if num = 1 then execute immediate 'drop view "
        "V_X';\r\n  end if;\r\nend;";
    const Case cases[] = {
        {dbtMsSql,
         {"V_X", "view", "create view V_X as select 1 A", dbtMsSql, "ora", dbtOracle},
         {"if exists(select * from sysobjects where name = 'V_X' and type = 'V')\r\ndrop view V_X",
          "create view V_X as select 1 A"}},
        {dbtMsSql,
         {"P_X", "Procedure", "", dbtMsSql, "create procedure P_X as select 1", dbtMsSql},
         {"if exists(select * from sysobjects where name = 'P_X' and type = 'P')\r\ndrop procedure P_X",
          "create procedure P_X as select 1"}},
        {dbtMsSql,
         {"F_X", "FUNCTION", "create function F_X", dbtMsSql, "", dbtOracle},
         {"if exists(select * from sysobjects where name = 'F_X' and type = 'FUNCTION')\r\ndrop function F_X",
          "create function F_X"}},
        {dbtOracle,
         {"V_X", "VIEW", "mssql", dbtMsSql, "create view V_X as select 1 A from dual", dbtOracle},
         {oracleDrop, "create view V_X as select 1 A from dual"}},
        {dbtOracle, {"V_X", "VIEW", "mssql", dbtMsSql, "also mssql", dbtMsSql}, {oracleDrop}},
    };
    for (const Case& c : cases) {
        RecordingServers servers;
        Connection connection(c.kind == dbtOracle ? kOracleTarget : kMsSqlTarget);
        TDataExport ex;
        ex.RecreateObject(connection, c.kind, c.item);
        EXPECT_EQ(servers.db->Statements(), c.sent) << c.item.Tag << " " << int(c.kind);
    }
}

TEST(RecreateObject, AFailingDropRaisesTheClientsMessage) {
    RecordingServers servers;
    servers.db->OnFail("if exists", "Permission denied.", true);
    Connection connection(kMsSqlTarget);
    TDataExport ex;
    EXPECT_TRUE(FailsWith<EDatabaseError>(
        [&] {
            ex.RecreateObject(connection, dbtMsSql,
                              {"V_X", "VIEW", "create view V_X as select 1 A", dbtMsSql, "", dbtOracle});
        },
        "Permission denied."));
    EXPECT_EQ(servers.db->Statements().size(), 1u);
}

// ---- embedded account sets, on real files ----

class EmbeddedSync : public ::testing::Test {
  protected:
    void SetUp() override {
        ex.SourceType = ex.TargetType = dbAccess;
        ex.SourceConnection().SetConnectionString(TransferFile(dir, {{"RwID", adInteger},
                                                                     {"Name", adVarWChar, 100},
                                                                     {"Price", adDouble, 0, "0"},
                                                                     {"Note", adLongVarWChar},
                                                                     {"Code", adVarWChar, 20},
                                                                     {"Made", adDate}}));
        account =
            MakeJetFile(dir.File("LUMO01.mdb"),
                        {"create table T (RwID LONG, Name varchar(50), Code LONG)",
                         "insert into T values (1, 'first', 7)", "insert into T values (2, 'second', 8)"});
        ex.TargetConnection()->SetConnectionString(account);
        ex.OnLog = [this](const void*, const std::string& msg) { log.push_back(msg); };
    }
    Texts Target(const std::string& sql) { return Rows(*ex.TargetConnection(), sql); }
    std::string Declared(const std::string& table) {
        const Texts sql = Target("select sql from sqlite_master where name = '" + table + "'");
        return sql.empty() ? "" : sql[0];
    }

    TempDir dir;
    std::string account;
    TDataExport ex;
    Texts log;
};

TEST_F(EmbeddedSync, ColumnsAreAddedBeforeARefusalAndNeverAltered) {
    const std::string refusal =
        "【T】待更新的列【[Code]"
        "】更新【失败】，因为与目标字段类型不一致，强制更新会导致数据丢失！【源：varchar(20)  "
        "目标：LONG】";
    EXPECT_TRUE(FailsWith<EDatabaseError>([&] { ex.SyncTableStructure("T", false); }, refusal));
    EXPECT_EQ(log, Texts{refusal});
    // Price was added before Code was refused; Name keeps its size; the long Note is not added.
    EXPECT_EQ(Declared("T"), "CREATE TABLE T (RwID LONG, Name varchar(50), Code LONG, [Price] FLOAT)");
    EXPECT_EQ(Target("select RwID, Name, Code, Price from T order by RwID"),
              (Texts{"1|first|7|<null>", "2|second|8|<null>"}));

    // With Code fitting, the columns after it are handled too.
    ex.TargetConnection()->Execute("create table T2 (RwID LONG, Name varchar(50), Code varchar(30))");
    ex.TargetConnection()->Execute("drop table T");
    ex.TargetConnection()->Execute("alter table T2 rename to T");
    log.clear();
    ex.SyncTableStructure("T", false);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(
        Declared("T"),
        "CREATE TABLE \"T\" (RwID LONG, Name varchar(50), Code varchar(30), [Price] FLOAT, [Made] DATETIME)");
}

TEST_F(EmbeddedSync, AMissingTableIsCreatedWithoutASideTableAndRecreateEmptiesIt) {
    ex.TargetConnection()->Open();
    ex.TargetConnection()->Execute("drop table T");
    ex.SyncTableStructure("T", false);
    const std::string created =
        "CREATE TABLE T (\r\n[RwID] LONG,\r\n[Name] varchar(100),\r\n[Price] FLOAT,\r\n[Note] MEMO "
        "TEXT,\r\n[Code] "
        "varchar(20),\r\n[Made] DATETIME)";
    EXPECT_EQ(Declared("T"), created);
    EXPECT_EQ(Declared("DSColumnDefine"), "");

    ex.TargetConnection()->Execute("insert into T (RwID) values (5)");
    ex.SyncTableStructure("T", true);
    EXPECT_EQ(Target("select count(*) from T"), Texts{"0"});
    EXPECT_EQ(Declared("T"), created);
    EXPECT_EQ(Declared("DSColumnDefine"), "");
    EXPECT_TRUE(log.empty());
}

TEST_F(EmbeddedSync, ViewsAreDroppedWhenPresentAndRecreatedFromTheSqlServerScript) {
    Connection& target = *ex.TargetConnection();
    target.Open();
    target.Execute("create view V_X as select RwID from T");
    ex.RecreateObject(target, dbAccess,
                      {"V_X", "VIEW", "create view V_X as select Name from T", dbtMsSql,
                       "create view V_X as select 1 from dual", dbtOracle});
    EXPECT_EQ(Declared("V_X"), "CREATE VIEW V_X as select Name from T");
    EXPECT_EQ(Target("select * from V_X order by Name"), (Texts{"first", "second"}));
    // Without a script for this kind the view is only dropped; a missing one is no error.
    ex.RecreateObject(target, dbAccess,
                      {"V_X", "View", "", dbtMsSql, "create view V_X as select 1 from dual", dbtOracle});
    EXPECT_EQ(Declared("V_X"), "");
    ex.RecreateObject(target, dbAccess, {"V_X", "VIEW", "", dbtMsSql, "", dbtOracle});
}

}  // namespace
