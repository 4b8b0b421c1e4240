#include "framework/db_conn_factory.h"

#include <gtest/gtest.h>

#include "byte_builder.h"
#include "common/expect_error.h"
#include "framework/persist.h"

namespace kestrane::framework {
namespace {

using kestrane::testing::Caught;

using testing::StoredFactories;
using testing::StoredFactory;

TEST(Factories, NoFactoriesIsACountOfZeroAndTheTrailer) {
    TQELDBConnFactorys factories;
    const support::Bytes expected{4, 0, 0, 0, 0, 1, 2, 0};
    EXPECT_EQ(factories.SaveToBlob(), expected);
    EXPECT_EQ(StoredFactories({}), expected);
    factories.LoadFromBlob(expected);
    EXPECT_EQ(factories.Count(), 0);
}

TEST(Factories, TwoFactoriesRoundTripByteIdentical) {
    StoredFactory a{"SQLOLEDB.1",
                    "SRV",
                    "sa",
                    "pw",
                    "",
                    "",
                    300,
                    5,
                    {{"DB1", "", "", "", 1024, 0, 0}, {"帐套二", "u", "p", "t", 1025, 3, 0}},
                    1};
    StoredFactory b{"OraOLEDB.Oracle.1",
                    "ORCL_dbhost",
                    "system",
                    "manager",
                    "PLSQLRData=1",
                    "x",
                    60,
                    9,
                    {{"LUMO", "LUMO", "", "", 1024, 1, 2}},
                    2};
    const support::Bytes stored = StoredFactories({a, b});
    TQELDBConnFactorys factories;
    factories.LoadFromBlob(stored);
    ASSERT_EQ(factories.Count(), 2);
    const auto& d = factories.Factory(0)->Data;
    EXPECT_EQ(d.ConnData.Provider, "SQLOLEDB.1");
    EXPECT_EQ(d.ConnData.ConnPassword, "pw");
    ASSERT_EQ(d.Catalogs.size(), 2u);
    EXPECT_EQ(d.Catalogs[1].CtlgName, "帐套二");
    EXPECT_EQ(d.Catalogs[1].CtlgFlags, 3);
    const auto& e = factories.Factory(1)->Data;
    EXPECT_EQ(e.ConnData.CommandTimeout, 60);
    EXPECT_EQ(e.Catalogs[0].UseCount, 2);
    EXPECT_EQ(e.FactoryId, 2);
    EXPECT_EQ(factories.SaveToBlob(), stored);

    // Reading again into the same collection reuses the items and drops the extra one.
    factories.LoadFromBlob(StoredFactories({b}));
    ASSERT_EQ(factories.Count(), 1);
    EXPECT_EQ(factories.Factory(0)->Data.ConnData.DataSource, "ORCL_dbhost");
}

TEST(Factories, MalformedValueRaises1360AndLeavesNoFactories) {
    support::Bytes stored = StoredFactories({testing::SimpleFactory("SQLOLEDB", "S")});
    support::Bytes badCheck = stored;
    badCheck[16] = 0x78;  // record check byte after the item header
    support::Bytes cut(stored.begin(), stored.end() - 5);
    for (const auto& bytes : {badCheck, cut}) {
        TQELDBConnFactorys factories;
        const auto e = Caught<EQELException>([&] { factories.LoadFromBlob(bytes); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode, 1360);
        EXPECT_EQ(factories.Count(), 0);
    }
}

TEST(Factories, NewFactoryDefaultsAndServerKinds) {
    TQELDBConnFactory f;
    EXPECT_EQ(f.Data.ConnData.CommandTimeout, 300);
    EXPECT_EQ(f.Data.ConnData.ConnectTimeout, 5);
    struct Case {
        const char* provider;
        int kind;
        const char* cls;
    } cases[] = {{"SQLOLEDB.1", 2, "TQELMSSqlConnection"},
                 {"sqloledb.1", 2, "TQELMSSqlConnection"},
                 {"OraOLEDB.Oracle.1", 1, "TQELOracleSqlConnection"},
                 {"msdasql", 1, "TQELOracleODBCSqlConnection"},
                 {"microsoft.jet.oledb.4.0", 3, "TQELJetConnection"},
                 {"Microsoft.ACE.OLEDB.12.0", 0, "TQELDBConnection"},
                 {"", 0, "TQELDBConnection"}};
    for (const auto& k : cases) {
        TQELDBConnFactory x;
        x.Data.ConnData.Provider = k.provider;
        EXPECT_EQ(ServerKind(x), k.kind) << k.provider;
        EXPECT_STREQ(x.ConnectionClass().ClassName(), k.cls);
    }
}

TQELDBCtlgInfoRec Named(const char* name) {
    TQELDBCtlgInfoRec c;
    c.CtlgName = name;
    return c;
}

TEST(Factories, CatalogConnectionString) {
    struct Case {
        const char* provider;
        const char* connString;
        const char* user;
        const char* password;
        TQELDBCtlgInfoRec catalog;
        const char* expected;
    } cases[] = {
        {"SQLOLEDB.1", "", "sa", "secret", Named("DB1"),
         "Provider=SQLOLEDB.1;User ID=sa;Password=secret;Data Source=SRV;Initial Catalog=DB1;"},
        {"SQLOLEDB.1", "", "", "", Named("DB1"),
         "Provider=SQLOLEDB.1;User ID=;Password=;Data Source=SRV;Integrated Security=SSPI;Initial "
         "Catalog=DB1;"},
        {"SQLOLEDB.1", "Persist Security Info=False", "sa", "", Named(""),
         "Provider=SQLOLEDB.1;Persist Security Info=False;User ID=sa;Password=;Data Source=SRV;"},
        {"", "", "", "", Named("DB1"), "Provider=;User ID=;Password=;Data Source=SRV;"},
        {"OraOLEDB.Oracle.1",
         "",
         "sys",
         "pw",
         {"LUMO", "LUMO", "lp", "", 1024, 3, 0},
         "Provider=OraOLEDB.Oracle.1;User ID=LUMO;Password=lp;Data Source=SRV;"},
        // Bit 0 set but no catalogue user: the factory's user.
        {"OraOLEDB.Oracle.1",
         "",
         "sys",
         "pw",
         {"LUMO", "", "", "", 1024, 1, 0},
         "Provider=OraOLEDB.Oracle.1;User ID=sys;Password=pw;Data Source=SRV;"},
        // A catalogue user without its flag bit is not used.
        {"SQLOLEDB",
         "",
         "sa",
         "x",
         {"D", "other", "op", "", 1024, 0, 0},
         "Provider=SQLOLEDB;User ID=sa;Password=x;Data Source=SRV;Initial Catalog=D;"},
        // Embedded: the catalogue is a file in the DataSource folder.
        {"Microsoft.Jet.OLEDB.4.0", "", "", "", Named("帐套1"),
         "Provider=Microsoft.Jet.OLEDB.4.0;User ID=;Password=;Data Source=SRV/帐套1.mdb;"},
        {"Microsoft.Jet.OLEDB.4.0", "", "", "", Named(""),
         "Provider=Microsoft.Jet.OLEDB.4.0;User ID=;Password=;Data Source=SRV;"},
        // Values that would cut the string or add a key of their own are quoted.
        {"SQLOLEDB", "", "sa", "x;Initial Catalog=master", Named("D;Integrated Security=SSPI"),
         "Provider=SQLOLEDB;User ID=sa;Password=\"x;Initial Catalog=master\";Data Source=SRV;"
         "Initial Catalog=\"D;Integrated Security=SSPI\";"},
        {"SQLOLEDB", "", "\"sa", " pw", Named("D"),
         "Provider=SQLOLEDB;User ID=\"\"\"sa\";Password=\" pw\";Data Source=SRV;Initial Catalog=D;"},
    };
    for (const auto& k : cases) {
        TQELDBConnFactory f;
        f.Data.ConnData = {k.provider, "SRV", k.user, k.password, k.connString, "", 300, 5};
        EXPECT_EQ(CatalogConnectionString(f, k.catalog), k.expected);
    }
    // A folder already ending in a delimiter gets none added.
    TQELDBConnFactory jet;
    jet.Data.ConnData = {"Microsoft.Jet.OLEDB.4.0", "/data/sets/", "", "", "", "", 300, 5};
    EXPECT_EQ(CatalogConnectionString(jet, Named("NXCentre")),
              "Provider=Microsoft.Jet.OLEDB.4.0;User ID=;Password=;Data Source=/data/sets/NXCentre.mdb;");
}

class FactoryLookup : public ::testing::Test {
  protected:
    void SetUp() override {
        for (std::int16_t id : {1, 3, 7}) {
            auto* f = TQELCollectionItem::Create<TQELDBConnFactory>(factories);
            f->Data.FactoryId = id;
            f->Data.ConnData.Provider = id == 3 ? "OraOLEDB.Oracle" : "SQLOLEDB";
        }
        factories.AddDBCtlg(factories.FindFactory(7), "A", "", "");
        factories.AddDBCtlg(factories.FindFactory(7), "B", "u", "p");
    }
    TQELDBConnFactorys factories;
};

TEST_F(FactoryLookup, AddFindAndUseCounts) {
    TQELDBConnFactory* f = factories.FindFactory(7);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(factories.FindFactory(2), nullptr);
    EXPECT_EQ(f->Data.Catalogs[0].CtlgId, 1024);
    EXPECT_EQ(f->Data.Catalogs[1].CtlgId, 1025);
    EXPECT_EQ(f->Data.Catalogs[1].CtlgFlags, 3);
    factories.AddDBCtlg(factories.FindFactory(3), "SCHEMA1", "", "");
    EXPECT_EQ(factories.FindFactory(3)->Data.Catalogs[0].CtlgUser, "SCHEMA1");
    EXPECT_EQ(factories.FindFactory(3)->Data.Catalogs[0].CtlgFlags, 1);

    TQELDBCtlgInfoRec found;
    EXPECT_EQ(factories.FindCatalog(MakeCatalogRef(7, 1025), 1, found), f);
    EXPECT_EQ(found.CtlgName, "B");
    EXPECT_EQ(found.UseCount, 1);
    EXPECT_EQ(f->Data.Catalogs[1].UseCount, 1);
    // A reference without a catalogue names the factory only and counts nothing.
    EXPECT_EQ(factories.FindCatalog(MakeCatalogRef(7, 0), 1, found), f);
    EXPECT_TRUE(found.CtlgName.empty());
    EXPECT_EQ(f->Data.Catalogs[0].UseCount, 0);
    EXPECT_EQ(factories.FindCatalog(MakeCatalogRef(9, 1024), 1, found), nullptr);
    EXPECT_EQ(factories.FindCatalog(MakeCatalogRef(7, 1030), 1, found), f);
    EXPECT_TRUE(found.CtlgName.empty());

    int index = -1;
    EXPECT_EQ(FindCatalogById(*f, 1030, index), nullptr);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(MakeCatalogRef(7, 1025), 0x04010007u);
}

TEST_F(FactoryLookup, DelDBCtlgRefusals) {
    TQELDBConnFactory* f = factories.FindFactory(7);
    TQELDBCtlgInfoRec found;
    factories.FindCatalog(MakeCatalogRef(7, 1024), 1, found);
    struct Case {
        std::int16_t id;
        const char* description;
    } cases[] = {{1024, "不支持此调用:\"TQELDBConnFactorys.DelDBCtlg(Ctlg In use)\""},
                 {999, "不支持此调用:\"TQELDBConnFactorys.DelDBCtlg(Invalid CtlgID)\""}};
    for (const auto& k : cases) {
        const auto e = Caught<EQELException>([&] { factories.DelDBCtlg(f, k.id, false); });
        ASSERT_TRUE(e);
        EXPECT_EQ(e->ErrorCode, 1024);
        EXPECT_EQ(e->Description, k.description);
    }
    EXPECT_EQ(f->Data.Catalogs.size(), 2u);
    factories.DelDBCtlg(f, 1025, false);
    ASSERT_EQ(f->Data.Catalogs.size(), 1u);
    EXPECT_EQ(f->Data.Catalogs[0].CtlgName, "A");
    EXPECT_THROW(factories.DelDBCtlg(nullptr, 1024, false), EQELException);
}

TEST(Factories, AcceptsOnlyFactories) {
    TQELDBConnFactorys factories;
    EXPECT_THROW(factories.AddItem(std::make_unique<TQELCollection>()), EQELException);
    // Any stored item class becomes a factory.
    support::Bytes stored = StoredFactories({testing::SimpleFactory("SQLOLEDB", "S")});
    stored[6] = 0x55;  // class id in the item header
    factories.LoadFromBlob(stored);
    ASSERT_EQ(factories.Count(), 1);
    EXPECT_EQ(factories.Factory(0)->Data.ConnData.DataSource, "S");
}

}  // namespace
}  // namespace kestrane::framework

namespace kestrane::framework {
namespace {

TEST(Factories, FactoryTrailerWithElementIdAndThePackedForm) {
    support::Bytes stored = StoredFactories({testing::SimpleFactory("SQLOLEDB", "S")});
    // The factory's trailer "01 02 00" sits before the collection's own.
    const auto at = stored.end() - 4;
    ASSERT_EQ(*at, 0);
    *at = 4 | 8;
    const support::Bytes id{4, 9, 0, 0, 0, 0};  // ElementId 9, then Releasing true
    stored.insert(at + 1, id.begin(), id.end());
    TQELDBConnFactorys factories;
    factories.LoadFromBlob(stored);
    ASSERT_EQ(factories.Count(), 1);
    EXPECT_EQ(factories.Factory(0)->ElementId, 9);
    EXPECT_EQ(factories.Factory(0)->ElementFlags, 12);
    EXPECT_TRUE(factories.Factory(0)->Releasing);
    EXPECT_EQ(factories.SaveToBlob(), stored);

    // Opened with true: one 64-bit integer; written back in the flag-byte form.
    support::Bytes packed = StoredFactories({testing::SimpleFactory("SQLOLEDB", "S")});
    const support::Bytes wide{0, 5, 7, 0, 0, 0, 0, 0, 0, 0};  // ElementId 7, flags 0
    packed.erase(packed.end() - 6, packed.end() - 3);
    packed.insert(packed.end() - 3, wide.begin(), wide.end());
    TQELDBConnFactorys again;
    again.LoadFromBlob(packed);
    EXPECT_EQ(again.Factory(0)->ElementId, 7);
    EXPECT_EQ(again.SaveToBlob(), StoredFactories({testing::SimpleFactory("SQLOLEDB", "S")}));
}

}  // namespace
}  // namespace kestrane::framework
