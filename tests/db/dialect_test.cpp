#include "db/dialect.h"

#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "db/connect.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/data_export.h"
#include "db/oracle_net.h"

using namespace kestrane::db;
using kestrane::support::dbAccess;
using kestrane::support::dbtMsSql;
using kestrane::support::dbtOracle;
using kestrane::support::TDBInfoRec;
using kestrane::testing::FailsWith;

TEST(Dialect, QuoteIdentifier) {
    struct Case {
        const char* name;
        const char* jet;
        const char* ms;
        const char* ora;
    };
    const Case cases[] = {
        {"OrgID", "[OrgID]", "[OrgID]", "\"ORGID\""},
        {"  RowId  ", "[RowId]", "[RowId]", "\"rowid\""},
        {"rowid", "[rowid]", "[rowid]", "\"rowid\""},
        {" Amount", "[Amount]", "[Amount]", "\"AMOUNT\""},
        {"单位名称", "[单位名称]", "[单位名称]", "\"单位名称\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuoteIdentifier(c.name, dbAccess), c.jet) << c.name;
        EXPECT_EQ(QuoteIdentifier(c.name, dbtMsSql), c.ms) << c.name;
        EXPECT_EQ(QuoteIdentifier(c.name, dbtOracle), c.ora) << c.name;
    }
}

TEST(Dialect, SQLTypeNameTable) {
    struct Case {
        int type;
        std::int64_t n;
        int s, p;
        const char* jet;
        const char* ms;
        const char* ora;
    };
    const Case cases[] = {
        {2, 0, 0, 0, "LONG", "SmallInt", "number(5)"},
        {18, 0, 0, 0, "LONG", "SmallInt", "number(5)"},
        {3, 0, 0, 0, "LONG", "Int", "number(10)"},
        {19, 0, 0, 0, "LONG", "Int", "number(10)"},
        {16, 0, 0, 0, "LONG", "TinyInt", "number(3)"},
        {17, 0, 0, 0, "LONG", "TinyInt", "number(3)"},
        {20, 0, 0, 0, "FLOAT", "BigInt", "number(38)"},
        {21, 0, 0, 0, "FLOAT", "BigInt", "number(38)"},
        {4, 0, 0, 0, "FLOAT", "Float", "number"},
        {5, 0, 0, 0, "FLOAT", "Float", "number"},
        {6, 0, 4, 19, "FLOAT", "Money", "number(19,4)"},
        {6, 0, 0, 0, "FLOAT", "Money", "integer"},
        {131, 0, 2, 18, "FLOAT", "numeric(18,2)", "number(18,2)"},
        {131, 0, 0, 0, "LONG", "Int", "integer"},
        {14, 0, 0, 10, "LONG", "numeric(10,0)", "number(10,0)"},
        {139, 0, 2, 18, "FLOAT", "numeric(18,2)", "number(18,2)"},
        {139, 0, 0, 0, "FLOAT", "Int", "integer"},
        {7, 0, 0, 0, "DATETIME", "Datetime", "date"},
        {133, 0, 0, 0, "DATETIME", "Datetime", "date"},
        {134, 0, 0, 0, "DATETIME", "Datetime", "date"},
        {135, 0, 6, 0, "DATETIME", "Datetime", "timestamp(6)"},
        {202, 50, 0, 0, "varchar(50)", "VarChar(50)", "VarChar2(50)"},
        {202, 300, 0, 0, "MEMO", "VarChar(300)", "VarChar2(300)"},
        {202, 0, 0, 0, "MEMO", "Text", "VarChar2(4000)"},
        {202, 5000, 0, 0, "MEMO", "VarChar(5000)", "VarChar2(4000)"},
        {202, 2147483647, 0, 0, "MEMO", "Text", "VarChar2(4000)"},
        {200, 255, 0, 0, "varchar(255)", "VarChar(255)", "VarChar2(255)"},
        {200, 256, 0, 0, "MEMO", "VarChar(256)", "VarChar2(256)"},
        {129, 1, 0, 0, "varchar(1)", "VarChar(1)", "VarChar2(1)"},
        {130, 10, 0, 0, "varchar(10)", "VarChar(10)", "VarChar2(10)"},
        {8, 20, 0, 0, "varchar(20)", "VarChar(20)", "VarChar2(20)"},
        {201, 0, 0, 0, "MEMO", "Text", "VarChar2(4000)"},
        {203, 100, 0, 0, "MEMO", "Text", "VarChar2(4000)"},
        {11, 0, 0, 0, "BIT", "Bit", "number(1)"},
        {72, 16, 0, 0, "GUID", "uniqueidentifier", "raw(16)"},
        {128, 16, 0, 0, "GUID", "uniqueidentifier", "raw(16)"},
        {204, 30, 0, 0, "LONGBINARY", "image", "long raw"},
        {205, 40, 0, 0, "LONGBINARY", "image", "long raw"},
        {205, 100, 0, 0, "LONGBINARY", "image", "blob"},
        {205, 0, 0, 0, "LONGBINARY", "image", "long raw"},
        {13, 0, 0, 0, "", "", ""},
        {999, 10, 0, 0, "", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SQLTypeName(c.type, c.n, dbAccess, c.s, c.p), c.jet) << c.type << "/" << c.n;
        EXPECT_EQ(SQLTypeName(c.type, c.n, dbtMsSql, c.s, c.p), c.ms) << c.type << "/" << c.n;
        EXPECT_EQ(SQLTypeName(c.type, c.n, dbtOracle, c.s, c.p), c.ora) << c.type << "/" << c.n;
    }
}

TEST(Dialect, TranslateDefault) {
    struct Case {
        const char* expr;
        kestrane::support::TKVDataBaseType kind;
        const char* want;
    };
    const Case cases[] = {
        {"nvl", dbtMsSql, "isnull"},
        {"sys_guid()", dbtMsSql, "newid()"},
        {"SysDate", dbtMsSql, "getdate()"},
        {"length", dbtMsSql, "len"},
        {"substr", dbtMsSql, "substring"},
        {"'", dbtMsSql, "''"},
        {"isnull", dbtOracle, "NVL"},
        {"newid()", dbtOracle, "SYS_GUID()"},
        {"getdate()", dbtOracle, "SYSDATE"},
        {"len", dbtOracle, "LENGTH"},
        {"substring", dbtOracle, "SUBSTR"},
        {"'", dbtOracle, "''"},
        {"(getdate())", dbtOracle, "(GETDATE())"},
        // Quoted literals keep their letters: they are the value new rows get.
        {"'abc'", dbtOracle, "'abc'"},
        {"'abc'", dbtMsSql, "'abc'"},
        {"('abc')", dbtMsSql, "('abc')"},
        {"isnull(code,'n/a')", dbtOracle, "ISNULL(CODE,'n/a')"},
        {"'it''s' || x", dbtOracle, "'it''s' || X"},
        {"n'Ab' + 'cD", dbtMsSql, "N'Ab' + 'cD"},
        {"getdate()", dbtMsSql, "GETDATE()"},
        {"0", dbtOracle, "0"},
        {"getdate()", dbAccess, ""},
        {"0", dbAccess, ""},
        {"", dbtMsSql, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(TranslateDefault(c.expr, c.kind), c.want) << c.expr;
}

TEST(ConnectionStrings, ThreeKinds) {
    TDBInfoRec ms;
    ms.Server = "SRV\\MSDE";
    ms.User = "sa";
    ms.Password = "pw";
    ms.Port = 1433;
    ms.SID = "ignored";
    EXPECT_EQ(BuildConnectionString(ms, ""),
              "Provider=SQLOLEDB.1;Data Source=SRV\\MSDE;User ID=sa;Password=pw;Persist Security Info=True");
    EXPECT_EQ(
        BuildConnectionString(ms, "Lumo001"),
        "Provider=SQLOLEDB.1;Data Source=SRV\\MSDE;User ID=sa;Password=pw;Persist Security Info=True;Initial "
        "Catalog=Lumo001");
    ms.Integrated = true;
    EXPECT_EQ(
        BuildConnectionString(ms, ""),
        "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Data Source=SRV\\MSDE");
    EXPECT_EQ(BuildConnectionString(ms, "A"),
              "Provider=SQLOLEDB.1;Integrated Security=SSPI;Persist Security Info=False;Data "
              "Source=SRV\\MSDE;Initial "
              "Catalog=A");

    TDBInfoRec jet;
    jet.DBType = dbAccess;
    EXPECT_EQ(BuildConnectionString(jet, "/p/Update.mdb"),
              "Provider=Microsoft.Jet.OLEDB.4.0;data source=/p/Update.mdb;Persist Security Info=False");
    jet.Server = "/data/sets";
    EXPECT_EQ(
        BuildConnectionString(jet, "Lumo001"),
        "Provider=Microsoft.Jet.OLEDB.4.0;data source=/data/sets/Lumo001.mdb;Persist Security Info=False");
    EXPECT_EQ(
        BuildConnectionString(jet, "NXCentre.mdb"),
        "Provider=Microsoft.Jet.OLEDB.4.0;data source=/data/sets/NXCentre.mdb;Persist Security Info=False");
    EXPECT_EQ(BuildConnectionString(jet, ""),
              "Provider=Microsoft.Jet.OLEDB.4.0;data source=/data/sets;Persist Security Info=False");
}

TEST(ConnectionStrings, ValuesAndSchema) {
    const std::string ms =
        "Provider=SQLOLEDB.1;Data Source=S;User ID=sa;Password=a=b;;Persist Security Info=True;Initial "
        "Catalog=Lumo01";
    EXPECT_EQ(TDataExport::GetConnectionValue(ms, "initial catalog"), "Lumo01");
    EXPECT_EQ(TDataExport::GetConnectionValue(ms, "Password"), "a=b");
    EXPECT_EQ(TDataExport::GetConnectionValue(ms, "Missing"), "");
    EXPECT_EQ(TDataExport::GetConnectionValue("Provider=X; User ID=u", "User ID"),
              "");  // keys are not trimmed
    std::string schema, catalog;
    TDataExport::GetSchemaAndCatalog(dbtMsSql, ms, schema, catalog);
    EXPECT_EQ(schema, "dbo");
    EXPECT_EQ(catalog, "Lumo01");
    TDataExport::GetSchemaAndCatalog(
        dbtOracle, "Provider=OraOLEDB.Oracle.1;Data Source=orcl_db1;User ID=LUMO01;", schema, catalog);
    EXPECT_EQ(schema, "LUMO01");
    EXPECT_EQ(catalog, "");
    TDataExport::GetSchemaAndCatalog(dbAccess, ms, schema, catalog);
    EXPECT_EQ(schema, "");
    EXPECT_EQ(catalog, "");
}

TEST(ConnectionStrings, KindFromProvider) {
    const std::pair<const char*, kestrane::support::TKVDataBaseType> cases[] = {
        {"Provider=SQLOLEDB.1;Data Source=S", dbtMsSql},
        {"Provider=OraOLEDB.Oracle.1;Data Source=orcl_db1", dbtOracle},
        {" provider = oraoledb.oracle.1 ;Data Source=x", dbtOracle},
        {"Provider=Microsoft.Jet.OLEDB.4.0;data source=/p/Update.mdb", dbAccess},
        {"Provider=MSDASQL.1;Driver=x;Database=y", dbtMsSql},
        {"Data Source=nothing", dbtMsSql},
    };
    for (const auto& [cs, kind] : cases) EXPECT_EQ(DatabaseKindOf(cs), kind) << cs;
}

TEST(ConnectionStrings, NoValueAddsDropsOrChangesAKey) {
    SetOraInstLocFile("/nonexistent/oraInst.loc");  // no Oracle homes to register in
    // Values that would end their part, add a key of their own, read as quoted or lose their blanks.
    const std::string values[] = {"pa;ss",
                                  "x;Initial Catalog=master",
                                  "x;Integrated Security=SSPI",
                                  "\"q\"",
                                  "'single'",
                                  " blank ",
                                  "a\"b;c'd",
                                  "=",
                                  ";",
                                  "plain",
                                  ""};
    using Keys = std::vector<std::string>;
    auto keys = [](const std::string& cs) {
        Keys out;
        for (const auto& [k, v] : SplitConnectionString(cs)) out.push_back(k);
        return out;
    };
    for (const std::string& v : values) {
        SCOPED_TRACE(v);
        TDBInfoRec ms;
        ms.Server = v;
        ms.User = v;
        ms.Password = v;
        const std::string login = BuildConnectionString(ms, v);
        Keys want = {"Provider", "Data Source", "User ID", "Password", "Persist Security Info"};
        if (!v.empty()) want.push_back("Initial Catalog");
        EXPECT_EQ(keys(login), want) << login;
        for (const char* key : {"Data Source", "User ID", "Password", "Initial Catalog"})
            EXPECT_EQ(TDataExport::GetConnectionValue(login, key), v) << key;
        EXPECT_EQ(ConnectionStringValueTrimmed(login, "Persist Security Info"), "True");
        std::string schema, catalog;
        TDataExport::GetSchemaAndCatalog(dbtMsSql, login, schema, catalog);
        EXPECT_EQ(catalog, v);

        ms.Integrated = true;
        const std::string integrated = BuildConnectionString(ms, v);
        want = {"Provider", "Integrated Security", "Persist Security Info", "Data Source"};
        if (!v.empty()) want.push_back("Initial Catalog");
        EXPECT_EQ(keys(integrated), want) << integrated;
        EXPECT_EQ(ConnectionStringValueTrimmed(integrated, "Integrated Security"), "SSPI");
        EXPECT_EQ(ConnectionStringValue(integrated, "Data Source"), v);

        TDBInfoRec ora;
        ora.DBType = kestrane::support::dbtOracle;
        ora.Server = "db1";
        ora.SID = "orcl";
        ora.User = "system";
        ora.Password = v;
        const std::string oracle = BuildConnectionString(ora, v);
        EXPECT_EQ(keys(oracle),
                  (Keys{"Provider", "Data Source", "User ID", "Password", "Persist Security Info"}));
        EXPECT_EQ(ConnectionStringValue(oracle, "User ID"), v.empty() ? "system" : v);
        EXPECT_EQ(ConnectionStringValue(oracle, "Password"), v);
        TDataExport::GetSchemaAndCatalog(dbtOracle, oracle, schema, catalog);
        EXPECT_EQ(schema, v.empty() ? "system" : v);

        TDBInfoRec jet;
        jet.DBType = dbAccess;
        const std::string file = BuildConnectionString(jet, "/p/" + v + ".mdb");
        EXPECT_EQ(keys(file), (Keys{"Provider", "data source", "Persist Security Info"}));
        EXPECT_EQ(ConnectionStringValueTrimmed(file, "Data Source"), "/p/" + v + ".mdb");
    }
    // Values that need no quotes are written as they always were.
    TDBInfoRec ms;
    ms.Server = "S";
    ms.User = "sa";
    ms.Password = "p;w";
    EXPECT_EQ(BuildConnectionString(ms, "L01"),
              "Provider=SQLOLEDB.1;Data Source=S;User ID=sa;Password=\"p;w\";Persist Security Info=True;"
              "Initial Catalog=L01");
    SetOraInstLocFile("");
}

TEST(ConnectionStrings, QuotedValuesAsPeopleWriteThem) {
    const std::string cs = "Provider=X; Password = \"p;w\" ;Name='it''s;x';Empty=\"\";Last=2";
    EXPECT_EQ(ConnectionStringValueTrimmed(cs, "Password"), "p;w");
    EXPECT_EQ(ConnectionStringValueTrimmed(cs, "Name"), "it's;x");
    EXPECT_EQ(ConnectionStringValueTrimmed(cs, "Empty"), "");
    EXPECT_EQ(ConnectionStringValueTrimmed(cs, "Last"), "2");
    EXPECT_EQ(SplitConnectionString(cs).size(), 5u);
    // A quote inside a plain value is just a character.
    EXPECT_EQ(ConnectionStringValue("Password=a\"b;X=1", "Password"), "a\"b");
    // A quote that is not closed, or text after a closing quote, is no connection string.
    for (const char* bad :
         {"Password=\"abc", "Password=\"a\"b;X=1", "A=1;Password='x", "Password=\"a\"\"\"\""}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(FailsWith<EDatabaseError>([&] { SplitConnectionString(bad); },
                                              "Format of the initialization string is not valid."));
    }
    Connection c("Provider=Microsoft.Jet.OLEDB.4.0;data source=\"/nowhere");
    EXPECT_THROW(c.Open(), EDatabaseError);
}
