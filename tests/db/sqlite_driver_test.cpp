#include "db/sqlite_driver.h"

#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "db_test_util.h"
#include "support/guid.h"

using namespace kestrane::db;
using namespace kestrane::db::testing;
using kestrane::support::Bytes;
using kestrane::support::EncodeDateTime;
using kestrane::support::VarType;
using kestrane::testing::FailsWith;

TEST(SqliteTypes, DeclaredNamesMapToAdoCodes) {
    struct Case {
        const char* decl;
        int type;
        std::int64_t size;
        int precision, scale;
    };
    const Case cases[] = {
        {"LONG", adInteger, 4, 10, 0},
        {"long", adInteger, 4, 10, 0},
        {"int", adInteger, 4, 10, 0},
        {"FLOAT", adDouble, 8, 15, 0},
        {"varchar(50)", adVarWChar, 50, 0, 0},
        {"VarChar ( 255 )", adVarWChar, 255, 0, 0},
        {"nvarchar(20)", adVarWChar, 20, 0, 0},
        {"MEMO", adLongVarWChar, 0, 0, 0},
        {"MEMO TEXT", adLongVarWChar, 0, 0, 0},
        {"TEXT", adLongVarWChar, 0, 0, 0},
        {"TEXT(30)", adVarWChar, 30, 0, 0},
        {"char(4)", adWChar, 4, 0, 0},
        {"DATETIME", adDate, 8, 0, 0},
        {"BIT", adBoolean, 2, 0, 0},
        {"GUID", adGUID, 16, 0, 0},
        {"LONGBINARY", adLongVarBinary, 0, 0, 0},
        {"BLOB", adLongVarBinary, 0, 0, 0},
        {"image", adLongVarBinary, 0, 0, 0},
        {"binary(16)", adBinary, 16, 0, 0},
        {"varbinary(30)", adVarBinary, 30, 0, 0},
        {"decimal(18,2)", adNumeric, 19, 18, 2},
        {"numeric", adNumeric, 19, 18, 0},
        {"money", adCurrency, 8, 19, 4},
        {"smallint", adSmallInt, 2, 5, 0},
        {"BYTE", adUnsignedTinyInt, 1, 3, 0},
        {"bigint", adBigInt, 8, 19, 0},
        {"REAL", adSingle, 4, 7, 0},
        {"", adLongVarBinary, 0, 0, 0},
        {"UNSIGNED BIG INT", adBigInt, 8, 19, 0},
        {"decimal(99999999999999999999,2)", adNumeric, 19, 18, 2},
    };
    for (const auto& c : cases) {
        const DeclaredType d = MapDeclaredType(c.decl);
        EXPECT_EQ(d.Type, c.type) << c.decl;
        EXPECT_EQ(d.Size, c.size) << c.decl;
        EXPECT_EQ(d.Precision, c.precision) << c.decl;
        EXPECT_EQ(d.Scale, c.scale) << c.decl;
    }
}

TEST(SqliteTypes, DecimalTextMatchesTheVariantsText) {
    std::vector<double> values = {0,
                                  -0.0,
                                  12.5,
                                  0.1,
                                  0.1 + 0.2,
                                  1.0 / 3,
                                  100000,
                                  1e15,
                                  1e16,
                                  123456789012345678.0,
                                  1e-5,
                                  1e-4,
                                  9.999999999999999e-5,
                                  5e-324,
                                  1.7976931348623157e308,
                                  -2.5e-7};
    for (int i = 0; i < 3000; ++i)
        values.push_back((i - 1500) * 0.01 * (1 + i % 7) * (i % 5 ? 1.0 : 1e9 / 3));
    for (double d : values) EXPECT_EQ(DecimalText(d), Variant(d).AsString()) << d;
}

TEST(SqliteTypes, MemoColumnsGetTextAffinity) {
    struct Case {
        const char* in;
        const char* out;
    };
    const Case cases[] = {
        {"create table t (a MEMO, [Memo] memo not null)",
         "create table t (a MEMO TEXT, [Memo] memo TEXT not null)"},
        {"create table t (Memo varchar(10))", "create table t (Memo varchar(10))"},
        {"alter table t add column n MEMO", "alter table t add column n MEMO TEXT"},
        {"alter table t add n Memo", "alter table t add n Memo TEXT"},
        {"select 'memo' from t", "select 'memo' from t"},
        {"create table t (a varchar(5) default 'x, b MEMO')",
         "create table t (a varchar(5) default 'x, b MEMO')"},
    };
    for (const auto& c : cases) EXPECT_EQ(GiveMemoTextAffinity(c.in), c.out);

    TempDir dir;
    Connection c(
        MakeJetFile(dir.File("a.mdb"), {"create table T (Note MEMO)", "insert into T values ('00012')"}));
    c.Open();
    EXPECT_EQ(Rows(c, "select Note from T"), std::vector<std::string>{"00012"});
}

class SqliteFile : public ::testing::Test {
  protected:
    TempDir dir;
    std::string file = dir.File("Set.mdb");
    Connection c;
    void SetUp() override {
        c.SetConnectionString(
            MakeJetFile(file, {"create table T (ID LONG not null, Name varchar(50), Amount decimal(18,2) "
                               "default 0, Rate FLOAT, "
                               "Flag BIT, Made DATETIME, G_ID GUID, Data LONGBINARY, Note MEMO)"}));
        c.Open();
    }
    void Insert(std::vector<Parameter> params) {
        Command cmd(c);
        cmd.CommandText =
            "insert into T(ID,Name,Amount,Rate,Flag,Made,G_ID,Data,Note)\r\nvalues(?,?,?,?,?,?,?,?,?)";
        cmd.Prepared = true;
        cmd.Parameters = std::move(params);
        EXPECT_EQ(cmd.Execute(), 1);
    }
};

TEST_F(SqliteFile, ValuesOfEveryKindRoundTrip) {
    const std::string guid = "{0B1C2D3E-4F50-6172-8394-A5B6C7D8E9F0}";
    Insert({{adInteger, std::int64_t{7}},
            {adVarChar, "中文名称"},
            {adDouble, 12.5},
            {adDouble, 0.25},
            {adSmallInt, std::int64_t{1}},
            {adDate, Variant::FromDateTime(EncodeDateTime(2024, 2, 29, 13, 5, 9))},
            {adGUID, guid},
            {adLongVarBinary, Bytes{0, 1, 2, 255}},
            {adVarChar, "0012"}});
    Insert({{adInteger, std::int64_t{8}}, {}, {}, {}, {adBoolean, false}, {}, {}, {}, {}});
    auto rs = c.Execute("select * from T order by ID");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->RecordCount(), 2);
    ASSERT_EQ(rs->FieldCount(), 9);
    const int types[] = {adInteger, adVarWChar, adNumeric,       adDouble,      adBoolean,
                         adDate,    adGUID,     adLongVarBinary, adLongVarWChar};
    for (int i = 0; i < 9; ++i) EXPECT_EQ(rs->Field(i).Type, types[i]) << rs->Field(i).Name;
    EXPECT_EQ(rs->Field(1).DefinedSize, 50);
    EXPECT_EQ(rs->Value("id").AsInt64(), 7);
    EXPECT_EQ(rs->Value("NAME").AsString(), "中文名称");
    EXPECT_EQ(rs->Value("Amount").Type(), VarType::Decimal);
    EXPECT_DOUBLE_EQ(rs->Value("Amount").AsDouble(), 12.5);
    EXPECT_EQ(rs->Value("Rate").AsDouble(), 0.25);
    EXPECT_EQ(rs->Value("Flag"), Variant(true));
    EXPECT_EQ(rs->Value("Made").Type(), VarType::DateTime);
    EXPECT_EQ(kestrane::support::DateTimeToText(rs->Value("Made").AsDateTime()), "2024-02-29 13:05:09");
    EXPECT_EQ(rs->Value("G_ID").AsString(), guid);
    EXPECT_EQ(rs->Value("Data").AsBytes(), (Bytes{0, 1, 2, 255}));
    EXPECT_EQ(rs->Value("Note").AsString(), "0012");
    rs->MoveNext();
    EXPECT_FALSE(rs->Eof());
    EXPECT_TRUE(rs->Value("Name").IsNull());
    EXPECT_EQ(rs->Value("Flag"), Variant(false));
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_TRUE(rs->Value(0).IsEmpty());
    EXPECT_THROW(rs->MoveNext(), EDatabaseError);
    rs->MoveFirst();
    EXPECT_EQ(rs->Value(0).AsInt64(), 7);
    EXPECT_THROW(rs->Value("Nope"), EDatabaseError);
    EXPECT_THROW(rs->Value(9), EDatabaseError);
    EXPECT_EQ(rs->FieldIndex("nope"), -1);
}

TEST_F(SqliteFile, DateTextsOfEveryFormRead) {
    // Stored text -> the value read back: a date, or the text itself when it is no date.
    const std::pair<const char*, const char*> cases[] = {
        {"2024-02-29 13:05:09", "2024-02-29 13:05:09"},
        {"2024-02-29", "2024-02-29"},
        {"2024-02-29 00:00:00", "2024-02-29"},
        {" 2024-2-9 1:05 ", "2024-02-09 01:05:00"},
        {"2024/02/29", "2024-02-29"},
        {"2024-13-01 00:00:00", "text:2024-13-01 00:00:00"},
        {"2024-02-29 24:00:00", "text:2024-02-29 24:00:00"},
        {"soon", "text:soon"},
        {"2024-02-29T13:05:09", "2024-02-29 13:05:09"},
        {"2024-02-29 13:05:09.123", "2024-02-29 13:05:09.123"},
        {"2024-02-30", "text:2024-02-30"},
        {"2023-02-29 00:00:00", "text:2023-02-29 00:00:00"},
    };
    int id = 0;
    for (const auto& [stored, want] : cases) {
        Command cmd(c);
        cmd.CommandText = "insert into T(ID, Made) values (?, ?)";
        cmd.Parameters = {{adInteger, std::int64_t{++id}}, {adVarChar, stored}};
        cmd.Execute();
        auto rs = c.Execute("select Made from T where ID = " + std::to_string(id));
        const Variant& v = rs->Value(0);
        const std::string got = v.Type() == VarType::DateTime
                                    ? kestrane::support::DateTimeToText(v.AsDateTime(), true)
                                    : "text:" + v.AsString();
        EXPECT_EQ(got, want) << stored;
    }
}

TEST_F(SqliteFile, DatesKeepMillisecondsAndTimes) {
    // Date and time, a time alone, milliseconds just after midnight, a plain date.
    const std::pair<double, const char*> cases[] = {
        {EncodeDateTime(2024, 2, 29, 13, 5, 9, 123), "'2024-02-29 13:05:09.123'"},
        {EncodeDateTime(1899, 12, 30, 8, 30, 0, 250), "'1899-12-30 08:30:00.250'"},
        {EncodeDateTime(2024, 1, 1, 0, 0, 0, 2), "'2024-01-01 00:00:00.002'"},
        {EncodeDateTime(2024, 1, 1, 0, 0, 0), "'2024-01-01'"},
    };
    int id = 0;
    for (const auto& [days, stored] : cases) {
        SCOPED_TRACE(stored);
        Command cmd(c);
        cmd.CommandText = "insert into T(ID, Made) values (?, ?)";
        cmd.Parameters = {{adInteger, std::int64_t{++id}}, {adDate, Variant::FromDateTime(days)}};
        cmd.Execute();
        const std::string where = " from T where ID = " + std::to_string(id);
        EXPECT_EQ(Rows(c, "select quote(Made)" + where), std::vector<std::string>{stored});
        auto rs = c.Execute("select Made" + where);
        EXPECT_EQ(rs->Value(0), Variant::FromDateTime(days));
    }
}

TEST(SqliteTypes, StoredKindAgreesWithTheValuesRead) {
    // Every declared type family against every storage class: where a record set says a value is read
    // as it is stored, it must be exactly the stored value.
    const char* types[] = {"LONG",       "varchar(10)", "MEMO",     "decimal(18,2)", "money",
                           "FLOAT",      "NUMBER",      "BIT",      "DATETIME",      "GUID",
                           "binary(16)", "LONGBINARY",  "BIT REAL", "NVARCHAR(5)"};
    const char* values[] = {
        "null",    "5",   "2.5", "'text'", "'2024-01-02'", "'True'", "x'00112233445566778899AABBCCDDEEFF'",
        "x'0102'", "x''", "''"};
    TempDir dir;
    std::string create = "create table K (";
    for (std::size_t i = 0; i < std::size(types); ++i)
        create += (i ? ", c" : "c") + std::to_string(i) + " " + types[i];
    std::vector<std::string> statements = {create + ")"};
    for (const char* v : values) {
        std::string insert = "insert into K values (";
        for (std::size_t i = 0; i < std::size(types); ++i) insert += (i ? ", " : "") + std::string(v);
        statements.push_back(insert + ")");
    }
    Connection c(MakeJetFile(dir.File("k.mdb"), statements));
    c.Open();
    int checked = 0;
    for (std::size_t i = 0; i < std::size(types); ++i) {
        const std::string col = "c" + std::to_string(i);
        auto rs = c.Execute("select " + col + " from K order by rowid");
        auto raw = c.Execute("select typeof(" + col + "), " + col + " is null from K order by rowid");
        for (int row = 0; !rs->Eof(); rs->MoveNext(), raw->MoveNext(), ++row) {
            SCOPED_TRACE(std::string(types[i]) + " <- " + values[row]);
            const auto kind = rs->StoredKind(0);
            if (!kind) continue;
            ++checked;
            // The stored value itself, read without a declared type to convert it.
            auto stored = c.Execute("select +" + col + " from K where rowid = " + std::to_string(row + 1));
            EXPECT_EQ(rs->Value(0).Type(), *kind) << raw->Value(0).AsString();
            EXPECT_EQ(rs->Value(0), stored->Value(0)) << raw->Value(0).AsString();
        }
    }
    EXPECT_GT(checked, 80);
}

TEST_F(SqliteFile, SixteenByteValueForGuidColumnBecomesText) {
    const auto g = kestrane::support::StringToGuid("{00112233-4455-6677-8899-AABBCCDDEEFF}");
    const auto b = kestrane::support::GuidToBytes(g);
    Insert({{adInteger, std::int64_t{1}}, {}, {}, {}, {}, {}, {adGUID, Bytes(b.begin(), b.end())}, {}, {}});
    EXPECT_EQ(Rows(c, "select G_ID from T"),
              std::vector<std::string>{"{00112233-4455-6677-8899-AABBCCDDEEFF}"});
    Command cmd(c);
    cmd.CommandText = "insert into T(ID, G_ID) values (2, ?)";
    cmd.Parameters.push_back({adGUID, Bytes{1, 2, 3}});
    EXPECT_THROW(cmd.Execute(), EDatabaseError);
}

TEST_F(SqliteFile, ExecuteReturnsRowsOnlyForQueries) {
    EXPECT_EQ(c.Execute("insert into T(ID) values (1)"), nullptr);
    EXPECT_EQ(c.Execute("insert into T(ID) values (2); insert into T(ID) values (3);"), nullptr);
    auto rs = c.Execute("select count(*) from T");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->Value(0).AsInt64(), 3);
    EXPECT_EQ(rs->Field(0).Type, adInteger);
    auto empty = c.Execute("select * from T where 1=1  and 1<>1 ");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->Eof());
    EXPECT_EQ(empty->RecordCount(), 0);
    EXPECT_EQ(empty->FieldCount(), 9);
}

TEST_F(SqliteFile, ErrorsCarryTheClientMessage) {
    EXPECT_TRUE(
        FailsWith<EDatabaseError>([&] { c.Execute("select * from Missing"); }, "no such table: Missing"));
    EXPECT_THROW(c.Execute("insert into T(ID) values (null)"), EDatabaseError);  // not null
    EXPECT_THROW(c.Execute("selec 1"), EDatabaseError);
    Command cmd(c);
    cmd.CommandText = "insert into T(ID) values (?)";
    cmd.Prepared = true;
    cmd.Parameters.push_back({adInteger, Variant::Null()});
    EXPECT_THROW(cmd.Execute(), EDatabaseError);
    cmd.Parameters[0].Value = std::int64_t{5};
    EXPECT_EQ(cmd.Execute(), 1);  // the kept statement is usable after a failure
    EXPECT_EQ(Rows(c, "select ID from T"), std::vector<std::string>{"5"});
}

TEST_F(SqliteFile, ColumnsAndTablesSchema) {
    c.Execute("create table Other (K varchar(10))");
    auto cols = c.OpenSchema(adSchemaColumns, {Variant::Null(), Variant::Null(), Variant("t")});
    std::vector<std::string> got;
    for (; !cols->Eof(); cols->MoveNext())
        got.push_back(
            cols->Value("TABLE_NAME").AsString() + "." + cols->Value("COLUMN_NAME").AsString() + ":" +
            cols->Value("DATA_TYPE").AsString() + "/" + cols->Value("CHARACTER_MAXIMUM_LENGTH").AsString() +
            "/" + cols->Value("NUMERIC_PRECISION").AsString() + "," +
            cols->Value("NUMERIC_SCALE").AsString() + " #" + cols->Value("ORDINAL_POSITION").AsString() +
            (cols->Value("IS_NULLABLE").AsBoolean() ? " null" : " not null") +
            (cols->Value("COLUMN_HASDEFAULT").AsBoolean()
                 ? " default " + cols->Value("COLUMN_DEFAULT").AsString()
                 : ""));
    const std::vector<std::string> want = {
        "T.ID:3//10, #1 not null", "T.Name:202/50/, #2 null", "T.Amount:131//18,2 #3 null default 0",
        "T.Rate:5//15, #4 null",   "T.Flag:11//, #5 null",    "T.Made:7//, #6 null",
        "T.G_ID:72//, #7 null",    "T.Data:205/0/, #8 null",  "T.Note:203/0/, #9 null",
    };
    EXPECT_EQ(got, want);
    auto tables = c.OpenSchema(adSchemaTables, {});
    EXPECT_EQ(tables->RecordCount(), 2);
    EXPECT_EQ(tables->Value("TABLE_NAME").AsString(), "Other");
    EXPECT_THROW(c.OpenSchema(99, {}), EDatabaseError);
}

TEST_F(SqliteFile, TransactionsRollBack) {
    c.BeginTrans();
    c.Execute("insert into T(ID) values (1)");
    c.RollbackTrans();
    EXPECT_TRUE(Rows(c, "select ID from T").empty());
    c.BeginTrans();
    c.Execute("insert into T(ID) values (2)");
    c.CommitTrans();
    EXPECT_EQ(Rows(c, "select ID from T"), std::vector<std::string>{"2"});
}

TEST_F(SqliteFile, RecordSetOutlivesClosedConnection) {
    c.Execute("insert into T(ID) values (1)");
    auto rs = c.Execute("select ID from T");
    c.Close();
    EXPECT_FALSE(c.IsOpen());
    EXPECT_EQ(rs->Value(0).AsInt64(), 1);
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    EXPECT_THROW(c.Execute("select 1"), EDatabaseError);
}

TEST_F(SqliteFile, UpdatableRecordsetAddsOneRow) {
    UpdatableRecordset rs(c, "select * from T where 1=1  and 1=0 ");
    EXPECT_TRUE(rs.rows().Eof());
    rs.AddNew({"ID", "name", "Flag", "Data"}, {std::int64_t{3}, "x", true, Variant::Null()});
    EXPECT_EQ(Rows(c, "select ID, Name, Flag, Data from T"), std::vector<std::string>{"3|x|True|<null>"});
    EXPECT_THROW(rs.AddNew({"ID"}, {}), EDatabaseError);
    EXPECT_THROW(rs.AddNew({"Nope"}, {std::int64_t{1}}), EDatabaseError);
}

TEST(SqliteOpen, FailuresAndKinds) {
    TempDir dir;
    Connection missing(JetString(dir.File("none.mdb")));
    EXPECT_THROW(missing.Open(), EDatabaseError);
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.mdb")));  // opening never creates a file

    WriteFile(dir.File("junk.mdb"), std::string(2000, 'x'));
    Connection junk(JetString(dir.File("junk.mdb")));
    EXPECT_THROW(junk.Open(), EDatabaseError);
    EXPECT_FALSE(junk.IsOpen());

    Connection noProvider("Provider=Nope.1;Data Source=x");
    EXPECT_THROW(noProvider.Open(), EDatabaseError);

    CreateJetDatabase(JetString(dir.File("plain.mdb")));
    EXPECT_THROW(CreateJetDatabase(JetString(dir.File("plain.mdb"))), EDatabaseError);
    EXPECT_THROW(CreateJetDatabase("Provider=SQLOLEDB.1;Data Source=x"), EDatabaseError);
    CreateJetDatabase(JetString(dir.File("scratch.mdb")), JetFileKind::Scratch);
    struct Case {
        const char* file;
        const char* journal;
        const char* sync;
    };
    const Case cases[] = {{"plain.mdb", "delete", "2"}, {"scratch.mdb", "memory", "0"}};
    for (const auto& k : cases) {
        Connection c(JetString(dir.File(k.file)));
        c.Open();
        EXPECT_EQ(Rows(c, "pragma journal_mode"), std::vector<std::string>{k.journal}) << k.file;
        EXPECT_EQ(Rows(c, "pragma synchronous"), std::vector<std::string>{k.sync}) << k.file;
    }

    // A folder is the embedded server itself: it opens without a database.
    Connection server(JetString(dir.path().string()));
    server.Open();
    EXPECT_TRUE(server.IsOpen());
}
