#include "product/lmb_file_mng.h"

#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "framework/blob_codec.h"
#include "install_folder.h"
#include "support/codepage.h"

namespace kestrane::product {
namespace {

using kestrane::testing::Caught;

namespace fs = std::filesystem;

using support::dbAccess;
using support::dbtMsSql;
using support::dbtOracle;
using testing::ByteBuilder;
using testing::EmbeddedFactory;
using testing::StoredFactories;
using testing::StoredFactory;
using testing::StoredInstInfos;

const char* kGuidA = "{11111111-2222-3333-4444-555555555555}";
const char* kGuidB = "{AAAAAAAA-BBBB-CCCC-DDDD-EEEEEEEEEEEE}";

class Discovery : public testing::InstallFolder {};

TEST_F(Discovery, FolderWithoutStoreFilesGivesNothing) {
    TLmbFileMng mng(Dir());
    EXPECT_EQ(mng.StoreKey(), kSingleStoreKey);
    EXPECT_TRUE(mng.Servers().empty());
    EXPECT_TRUE(mng.AccountSets().empty());
    EXPECT_TRUE(mng.ReadStoreValue(1).empty());
    // No folder at all reads nothing from the working folder either.
    TLmbFileMng none("");
    EXPECT_TRUE(none.Servers().empty());
}

TEST_F(Discovery, EmbeddedFactoriesInReverseOrderWithDuplicatesCentralAndFailures) {
    const std::string a = Sub("a"), b = Sub("b");
    MakeAccountSet(a, "DB1", "甲公司", kGuidA);
    MakeAccountSet(a, "NXCentre", "central", kGuidA);
    MakeAccountSet(a, "nxcentre", "central", kGuidA);
    MakeAccountSet(b, "LUMO01", "乙公司", kGuidB, nullptr);  // no ZTVersion column; LUMO02 has no file
    const auto value1 = StoredFactories({EmbeddedFactory(1, a, {"DB1", "NXCentre", "DB1", "nxCENTRE"}),
                                         EmbeddedFactory(2, b, {"LUMO01", "LUMO02"})});
    PutValue(1, 14, value1);

    std::vector<std::string> messages;
    TLmbFileMng silent(Dir());
    ASSERT_EQ(silent.AccountSets().size(), 2u);
    silent.OnMessage = [&](const void* sender, const std::string& m) {
        EXPECT_EQ(sender, &silent);
        messages.push_back(m);
    };
    silent.LoadInstallation(Dir());

    const auto& servers = silent.Servers();
    ASSERT_EQ(servers.size(), 2u);
    EXPECT_EQ(servers[0].Server, b);
    EXPECT_EQ(servers[1].Server, a);
    EXPECT_EQ(servers[0].DBType, dbAccess);
    EXPECT_EQ(servers[0].Port, 0);
    EXPECT_TRUE(servers[0].Integrated);

    const auto& sets = silent.AccountSets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0].DBName, "LUMO01");
    EXPECT_EQ(sets[0].AccountName, "乙公司");
    EXPECT_EQ(sets[0].Version, "");
    EXPECT_EQ(support::GuidToString(sets[0].InstanceID), kGuidB);
    EXPECT_EQ(sets[0].DBInfo, servers[0]);
    EXPECT_EQ(sets[1].DBName, "DB1");
    EXPECT_EQ(sets[1].AccountName, "甲公司");
    EXPECT_EQ(sets[1].Version, "8.1");
    EXPECT_EQ(sets[1].DBInfo, servers[1]);
    EXPECT_FALSE(sets[1].Selected);

    ASSERT_EQ(messages.size(), 1u);
    const std::string prefix = "错误：【" + b + "】帐套加载失败，失败原因如下：";
    EXPECT_EQ(messages[0].substr(0, prefix.size()), prefix);
    EXPECT_GT(messages[0].size(), prefix.size());

    // The duplicate left the catalogues in memory only; the first of the name survived.
    const auto& catalogs = silent.Factories().FindFactory(1)->Data.Catalogs;
    ASSERT_EQ(catalogs.size(), 3u);
    EXPECT_EQ(catalogs[0].CtlgId, 1024);
    EXPECT_EQ(catalogs[2].CtlgName, "nxCENTRE");
    EXPECT_EQ(ValueOf(1, 14), value1);
}

TEST_F(Discovery, ServerRecordsOfEachKind) {
    StoredFactory sql = testing::SimpleFactory("SQLOLEDB.1", "SRV");
    sql.user = "sa";
    sql.password = "pw";
    StoredFactory oracle = testing::SimpleFactory("OraOLEDB.Oracle.1", "ORCL_dbhost");
    oracle.user = "system";
    StoredFactory oracleNoSid = testing::SimpleFactory("MSDASQL", "dbhost");
    StoredFactory integrated = testing::SimpleFactory("sqloledb", "WIN");
    StoredFactory other = testing::SimpleFactory("Other.Provider", "ignored");
    int id = 1;
    for (auto* f : {&other, &integrated, &oracleNoSid, &oracle, &sql})
        f->factoryId = static_cast<std::int16_t>(id++);
    // Read last to first: sql, oracle, oracleNoSid, integrated, other.
    PutValue(1, 14, StoredFactories({other, integrated, oracleNoSid, oracle, sql}));
    TLmbFileMng mng(Dir());
    using support::TDBInfoRec;
    const std::vector<TDBInfoRec> want = {
        {dbtMsSql, false, "SRV", 1433, "", "sa", "pw"},
        {dbtOracle, false, "dbhost", 1521, "ORCL", "system", ""},
        {dbtOracle, true, "dbhost", 1521, "", "", ""},
        {dbtMsSql, true, "WIN", 1433, "", "", ""},
        // Neither kind: the record of the factory before it again.
        {dbtMsSql, true, "WIN", 1433, "", "", ""},
    };
    EXPECT_EQ(mng.Servers(), want);
    EXPECT_TRUE(mng.AccountSets().empty());
}

TEST_F(Discovery, NetworkInstallationReadsKey15) {
    const std::string a = Sub("a");
    MakeAccountSet(a, "NET", "网络", kGuidA);
    PutValue(1, 14, StoredFactories({EmbeddedFactory(1, a, {"WRONG"})}));
    PutValue(1, 15, StoredFactories({EmbeddedFactory(1, a, {"NET"})}));
    PutText("lumosetup.dat", "[SETUP]\n");
    TLmbFileMng mng(Dir());
    EXPECT_EQ(mng.StoreKey(), kNetworkStoreKey);
    ASSERT_EQ(mng.AccountSets().size(), 1u);
    EXPECT_EQ(mng.AccountSets()[0].AccountName, "网络");
    PutText("lumosetup.dat", "[SETUP]\nNETVER=0\n");
    mng.LoadInstallation(Dir());
    EXPECT_EQ(mng.StoreKey(), kSingleStoreKey);
    EXPECT_TRUE(mng.AccountSets().empty());
}

TEST_F(Discovery, UndecodableValuesAreEmptyMalformedContentRaises) {
    Put("lumo_bd_1_14.lmb", {1, 2, 3, 4, 5, 6, 7, 8});
    Put("lumo_bd_2_14.lmb", {0, 0, 0, 0});
    EXPECT_TRUE(TLmbFileMng(Dir()).Servers().empty());

    auto malformed = StoredFactories({testing::SimpleFactory("SQLOLEDB", "S")});
    malformed[16] = 0x78;  // record check byte
    PutValue(1, 14, malformed);
    const auto malformedFactory = Caught<framework::EQELException>([&] { TLmbFileMng mng(Dir()); });
    ASSERT_TRUE(malformedFactory);
    EXPECT_EQ(malformedFactory->ErrorCode, 1360);
    // The instance list is read by its record type: another check byte is malformed data.
    PutValue(1, 14, StoredFactories({}));
    PutValue(2, 14, {24, 0x55, 0, 0, 0, 0});
    const auto malformedList = Caught<framework::EQELException>([&] { TLmbFileMng mng(Dir()); });
    ASSERT_TRUE(malformedList);
    EXPECT_EQ(malformedList->ErrorCode, 1360);
    fs::remove(root_ / "lumo_bd_2_14.lmb");
    // A duplicate catalogue that is in use cannot be removed.
    StoredFactory f = EmbeddedFactory(1, Sub("a"), {"X", "X"});
    f.catalogs[1].useCount = 1;
    PutValue(1, 14, StoredFactories({f}));
    const auto catalogInUse = Caught<framework::EQELException>([&] { TLmbFileMng mng(Dir()); });
    ASSERT_TRUE(catalogInUse);
    EXPECT_EQ(catalogInUse->Description, "不支持此调用:\"TQELDBConnFactorys.DelDBCtlg(Ctlg In use)\"");
}

TEST_F(Discovery, UnreadableAccountTableOrBadInstanceIdRaises) {
    const std::string a = Sub("a");
    MakeAccountSet(a, "BADID", "x", "not-a-guid");
    db::CreateJetDatabase("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + a + "/EMPTY.mdb");
    MakeAccountSet(a, "GOOD", "好", kGuidA);
    for (const char* name : {"BADID", "EMPTY"}) {
        SCOPED_TRACE(name);
        PutValue(1, 14, StoredFactories({EmbeddedFactory(1, a, {"GOOD"})}));
        TLmbFileMng mng(Dir());
        ASSERT_EQ(mng.AccountSets().size(), 1u);
        PutValue(1, 14, StoredFactories({EmbeddedFactory(1, a, {"GOOD", name})}));
        EXPECT_ANY_THROW(mng.LoadInstallation(Dir()));
        // No half list is left behind.
        EXPECT_TRUE(mng.AccountSets().empty());
        EXPECT_TRUE(mng.Servers().empty());
    }
    // An empty account table gives an account set with nothing filled but its catalogue.
    Exec(a + "/EMPTY.mdb", "create table Sys_Accounts (AccountName varchar(80), InstanceID varchar(38))");
    TLmbFileMng mng(Dir());
    ASSERT_EQ(mng.AccountSets().size(), 2u);
    EXPECT_EQ(mng.AccountSets()[1].DBName, "EMPTY");
    EXPECT_EQ(mng.AccountSets()[1].AccountName, "");
}

TEST_F(Discovery, StoreValueCodec) {
    TLmbFileMng mng(root_.string());  // the delimiter is added
    EXPECT_EQ(mng.InstallPath(), Dir());
    mng.WriteStoreValue(3, {'a', 'b', 'c'});
    support::Bytes expected = {0x78, 0x01, 0x4B, 0x4C, 0x4A, 0x06, 0x00, 0x02, 0x4D, 0x01, 0x27};
    for (auto& x : expected) x = static_cast<std::uint8_t>(~x);
    expected.insert(expected.end(), {3, 0, 0, 0});
    EXPECT_EQ(Get("lumo_bd_3_14.lmb"), expected);
    EXPECT_EQ(mng.ReadStoreValue(3), (support::Bytes{'a', 'b', 'c'}));
    mng.WriteStoreValue(3, {});
    EXPECT_EQ(Get("lumo_bd_3_14.lmb"), (support::Bytes{0, 0, 0, 0}));
    EXPECT_TRUE(mng.ReadStoreValue(3).empty());
    // A trailer that lies about the length still decodes.
    auto file = testing::StoredValueFile({'x', 'y'});
    file[file.size() - 4] = 0xFF;
    Put("lumo_bd_4_14.lmb", file);
    EXPECT_EQ(mng.ReadStoreValue(4), (support::Bytes{'x', 'y'}));
}

TEST(InstInfo, StoredFormOfValue2) {
    TQELInstInfoDArray infos(2);
    infos[0] = {"帐套", "t", support::StringToGuid(kGuidA), framework::MakeCatalogRef(1, 1024), 2, {}};
    infos[1].InstName = "B";
    const auto bytes = framework::SaveRecordToBlob(&infos, &TQELInstInfoDArrayType());
    const std::vector<std::uint8_t> want =
        StoredInstInfos({{"帐套", "t", kGuidA, framework::MakeCatalogRef(1, 1024), 2},
                         {"B", "", "{00000000-0000-0000-0000-000000000000}", 0, 0}});
    EXPECT_EQ(bytes, want);
    EXPECT_EQ(TQELInstInfoType().Size(), 32u);
    TQELInstInfoDArray back;
    framework::LoadRecordFromBlob(&bytes, &back, &TQELInstInfoDArrayType());
    EXPECT_EQ(back, infos);
}

TEST(InstInfo, InstanceElementKeepsTheBytesAfterItsName) {
    ByteBuilder stored;
    stored.u8(24).u8(0x6F).text("旧名").text("second").bytes({4, 9, 9, 9, 9, 1});
    TQELDBInstance element;
    element.LoadFromBlob(stored);
    EXPECT_EQ(element.InstName, "旧名");
    element.InstName = "新名字";
    ByteBuilder want;
    want.u8(24).u8(0x6F).text("新名字").text("second").bytes({4, 9, 9, 9, 9, 1});
    EXPECT_EQ(element.SaveToBlob(), want.get());

    ByteBuilder wrong;
    wrong.u8(24).u8(0x6E).text("x");
    EXPECT_THROW(element.LoadFromBlob(wrong), framework::EQELException);
    element.ElementState = 1;
    EXPECT_THROW(element.LoadFromBlob(stored), framework::EQELException);
}

class Rename : public testing::InstallFolder {
  protected:
    void SetUp() override {
        InstallFolder::SetUp();
        folder = Sub("sets");
        MakeAccountSet(folder, "DB1", "新名", kGuidA);
        MakeAccountSet(folder, "DB2", "other", kGuidB);
        value1 = StoredFactories({EmbeddedFactory(1, folder, {"DB1", "DB2"})});
        PutValue(1, 14, value1);
        PutValue(2, 14,
                 StoredInstInfos({{"二", "", kGuidB, framework::MakeCatalogRef(1, 1025), 0},
                                  {"旧名", "keep", kGuidA, framework::MakeCatalogRef(1, 1024), 1}}));
    }
    void PutElement(const std::string& file, const std::string& name) const {
        Exec(file,
             "create table QEL_InstElmnt (Enabled int, SvcID int, ElmntType int, ElmntID int, ElmntData "
             "blob)");
        ByteBuilder data;
        data.u8(24).u8(0x6F).text(name).text("x").bytes({1, 0});
        Exec(file, "insert into QEL_InstElmnt values (1, -268304361, 80, 0, X'" + testing::Hex(data) + "')");
        Exec(file, "insert into QEL_InstElmnt values (1, -268304361, 81, 0, X'00')");
    }
    std::vector<std::uint8_t> ElementOf(const std::string& file, int type = 80) const {
        db::Connection c("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file);
        c.Open();
        auto rows = c.Execute("select ElmntData from QEL_InstElmnt where ElmntType=" + std::to_string(type));
        return rows->Value(0).AsBytes();
    }
    std::string folder;
    std::vector<std::uint8_t> value1;
};

TEST_F(Rename, ChangesStoreEntryAndElement) {
    PutElement(folder + "/DB1.mdb", "旧名");
    TLmbFileMng mng(Dir());
    ASSERT_EQ(mng.AccountSets().size(), 2u);
    const support::TInstanceRec inst = mng.AccountSets()[0];
    ASSERT_EQ(inst.DBName, "DB1");
    mng.RenameAccountSet(inst);

    EXPECT_EQ(ValueOf(2, 14),
              StoredInstInfos({{"二", "", kGuidB, framework::MakeCatalogRef(1, 1025), 0},
                               {"新名", "keep", kGuidA, framework::MakeCatalogRef(1, 1024), 1}}));
    EXPECT_EQ(ValueOf(1, 14), value1);
    ByteBuilder want;
    want.u8(24).u8(0x6F).text("新名").text("x").bytes({1, 0});
    EXPECT_EQ(ElementOf(folder + "/DB1.mdb"), want.get());
    EXPECT_EQ(ElementOf(folder + "/DB1.mdb", 81), (std::vector<std::uint8_t>{0}));
}

TEST_F(Rename, UnchangedNameWritesNothingAndElementFailuresAreIgnored) {
    TLmbFileMng mng(Dir());
    support::TInstanceRec inst = mng.AccountSets()[1];
    ASSERT_EQ(inst.DBName, "DB2");
    inst.AccountName = "二";
    fs::remove(root_ / "lumo_bd_2_14.lmb");
    mng.RenameAccountSet(inst);  // name as stored, no element table
    EXPECT_FALSE(fs::exists(root_ / "lumo_bd_2_14.lmb"));

    inst.AccountName = "改名";
    fs::remove(folder + "/DB2.mdb");  // the database step fails, the store still changes
    EXPECT_NO_THROW(mng.RenameAccountSet(inst));
    EXPECT_EQ(mng.InstInfos()[0].InstName, "改名");
    EXPECT_EQ(ValueOf(2, 14)[10], static_cast<std::uint8_t>(support::Utf8ToCp936("改名")[0]));

    inst.DBName = "UNKNOWN";
    const auto before = Get("lumo_bd_2_14.lmb");
    mng.RenameAccountSet(inst);
    EXPECT_EQ(Get("lumo_bd_2_14.lmb"), before);
}

}  // namespace
}  // namespace kestrane::product
