#include "product/user_rights.h"

#include <gtest/gtest.h>

#include "common/query_rows.h"
#include "db/recording_driver.h"
#include "install_folder.h"
#include "support/text.h"

namespace kestrane::product {
namespace {

using Texts = std::vector<std::string>;
using testing::EmbeddedFactory;
using testing::StoredFactories;

std::string Hex16(const char* pair) {
    std::string s;
    for (int i = 0; i < 16; ++i) s += pair;
    return s;
}

const std::string kCreateMembers =
    "create table CERT_Member (UID varchar(32), Name varchar(50), Code varchar(50), Psdc varchar(50), "
    "Descript varchar(100), Attr LONG, CRC LONG)";

class UserRights : public testing::InstallFolder {
  protected:
    void SetUp() override {
        InstallFolder::SetUp();
        a = Sub("a");
        b = Sub("b");
    }
    // A central catalogue "NXCentre.mdb" in the server folder.
    static void MakeCentral(const std::string& folder) {
        const std::string file = folder + "/NXCentre.mdb";
        db::CreateJetDatabase("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file);
        Exec(file, kCreateMembers);
        Exec(file, "create table Cert_MLConn (UID varchar(32), Link LONG)");
        Exec(file,
             "create table Cert_ACL (UserID varchar(32), ResID varchar(32), ResType LONG, ACK LONG, Falg "
             "LONG, CRC "
             "LONG)");
    }
    static void Member(const std::string& file, const std::string& uid, const std::string& code,
                       const std::string& name = "n", const char* attr = "0") {
        Exec(file, "insert into CERT_Member values ('" + uid + "', '" + support::ReplaceAll(name, "'", "''") +
                       "', '" + code + "', 'psw', 'd', " + attr + ", 77)");
    }
    static Texts Rows(const std::string& file, const std::string& sql) {
        return kestrane::testing::QueryRows(file, sql);
    }
    std::string AccountSet(const std::string& folder, const std::string& name, const std::string& guid) {
        MakeAccountSet(folder, name, name, guid);
        const std::string file = folder + "/" + name + ".mdb";
        Exec(file, kCreateMembers);
        return file;
    }
    // Runs the transfer over the installation as discovery finds it.
    Texts Transfer() {
        TLmbFileMng mng(Dir());
        Texts messages;
        TLumoServiceMng rights;
        rights.OnMessage = [&](const void* sender, const std::string& text) {
            EXPECT_EQ(sender, &rights);
            messages.push_back(text);
        };
        rights.TransferUserRights(mng);
        return messages;
    }

    std::string a, b;
};

TEST_F(UserRights, ClashingMembersReplaceTheCentralOnesAndAreGrantedTheirAccountSet) {
    MakeCentral(a);
    const std::string central = a + "/NXCentre.mdb";
    Member(central, Hex16("01"), "c1");
    Member(central, Hex16("02"), "bob");
    Member(central, Hex16("03"), "carol");
    Member(central, Hex16("04"), "dave");
    Member(central, Hex16("05"), "Admin");
    Member(central, Hex16("06"), "eve");
    for (const char* uid : {"01", "02", "03", "06"}) {
        Exec(central, "insert into Cert_MLConn values ('" + Hex16(uid) + "', 1)");
        Exec(central,
             "insert into Cert_ACL values ('" + Hex16(uid) + "', '" + Hex16("EE") + "', 11, 1, 3, 5)");
    }
    const std::string set = AccountSet(a, "LUMO01", "{11111111-1111-1111-1111-111111111111}");
    Member(set, Hex16("00"), "c1", "new c1", "4");  // the code of 01
    Member(set, Hex16("02"), "bobby", "O'Brien");   // the identifier of 02
    Member(set, Hex16("03"), "dave");               // the identifier of 03 and the code of 04
    Member(set, Hex16("06"), "eve");                // the same member
    Member(set, Hex16("07"), "frank");              // unknown centrally
    Member(set, Hex16("05"), "admin");              // never moved
    PutValue(1, 14, StoredFactories({EmbeddedFactory(1, a, {"LUMO01"})}));

    const Texts messages = Transfer();

    EXPECT_EQ(
        Rows(central, "select UID, Name, Code, Psdc, Descript, Attr, CRC from CERT_Member order by UID"),
        (Texts{Hex16("00") + "|new c1|c1|psw|d|4|77", Hex16("02") + "|O'Brien|bobby|psw|d|0|77",
               Hex16("03") + "|n|dave|psw|d|0|77", Hex16("05") + "|n|Admin|psw|d|0|77",
               Hex16("06") + "|n|eve|psw|d|0|77"}));
    EXPECT_EQ(Rows(central, "select UID from Cert_MLConn order by UID"), Texts{Hex16("06")});
    const std::string res = Hex16("11");
    EXPECT_EQ(Rows(central, "select UserID, ResID, ResType, ACK, Falg, CRC from Cert_ACL order by UserID"),
              (Texts{Hex16("00") + "|" + res + "|11|1|3|-2132609329",
                     Hex16("02") + "|" + res + "|11|1|3|" + std::to_string(AclCrc(Hex16("02"), res, 1, 3)),
                     Hex16("03") + "|" + res + "|11|1|3|" + std::to_string(AclCrc(Hex16("03"), res, 1, 3)),
                     Hex16("06") + "|" + Hex16("EE") + "|11|1|3|5"}));
    const auto moved = [&](const char* from, const std::string& to, const char* fromCode,
                           const char* toCode) {
        return "更新账套[" + res + "]用户权限，原UID：" + Hex16(from) + " -> 新UID：" + to + "，原Code：" +
               fromCode + " -> 新Code：" + toCode;
    };
    EXPECT_EQ(messages,
              (Texts{moved("01", Hex16("00"), "c1", "c1"), moved("02", Hex16("02"), "bob", "bobby"),
                     moved("03", Hex16("03"), "carol", "dave"), moved("04", Hex16("03"), "dave", "dave")}));
}

TEST_F(UserRights, EachServerIsReconciledWithItsOwnCentralCatalogue) {
    MakeCentral(a);
    MakeCentral(b);
    Member(a + "/NXCentre.mdb", Hex16("01"), "zed");
    Member(b + "/NXCentre.mdb", Hex16("02"), "zed");
    const std::string inA = AccountSet(a, "LUMO01", "{AAAAAAAA-AAAA-AAAA-AAAA-AAAAAAAAAAAA}");
    const std::string inB = AccountSet(b, "LUMO01", "{BBBBBBBB-BBBB-BBBB-BBBB-BBBBBBBBBBBB}");
    Member(inA, Hex16("01"), "zed");  // the same as a's central member
    Member(inB, Hex16("03"), "zed");  // clashes with b's by code only
    PutValue(1, 14, StoredFactories({EmbeddedFactory(1, a, {"LUMO01"}), EmbeddedFactory(2, b, {"LUMO01"})}));

    EXPECT_EQ(Transfer().size(), 1u);
    EXPECT_EQ(Rows(a + "/NXCentre.mdb", "select UID, Code from CERT_Member"), Texts{Hex16("01") + "|zed"});
    EXPECT_EQ(Rows(b + "/NXCentre.mdb", "select UID, Code from CERT_Member"), Texts{Hex16("03") + "|zed"});
    EXPECT_EQ(Rows(b + "/NXCentre.mdb", "select ResID from Cert_ACL"), Texts{Hex16("BB")});
}

// Members are written "PP:code", identifiers by the pair of digits that fills all 16 bytes; the two
// account sets are granted as 11 and 22.
TEST_F(UserRights, NoIdentifierIsEverHeldTwiceCentrally) {
    const struct Case {
        const char* name;
        Texts central, first, second;
        Texts members, links, access;
        std::size_t messages;
        Texts centralAccess = {};  // UID@account set, held before the transfer
    } cases[] = {
        {"identical to one central member, clashing by code with another",
         {"01:lina", "02:lina"},
         {"01:lina"},
         {},
         {"01:lina"},
         {"01"},
         {"01@11"},
         1},
        {"identical only", {"01:lina"}, {"01:lina"}, {}, {"01:lina"}, {"01"}, {}, 0},
        {"identical to one, clashing by identifier with another",
         {"01:lina", "02:wang"},
         {"02:lina"},
         {},
         {"02:lina"},
         {},
         {"02@11"},
         2},
        {"the same code under another identifier",
         {"02:lina"},
         {"01:lina"},
         {},
         {"01:lina"},
         {},
         {"01@11"},
         1},
        {"the same identifier under another code",
         {"01:old"},
         {"01:lina"},
         {},
         {"01:lina"},
         {},
         {"01@11"},
         1},
        {"clashing with two", {"01:old", "02:lina"}, {"01:lina"}, {}, {"01:lina"}, {}, {"01@11"}, 2},
        {"one member in two account sets",
         {"02:lina"},
         {"01:lina"},
         {"01:lina"},
         {"01:lina"},
         {},
         {"01@11", "01@22"},
         2},
        {"an identifier the first account set brought in, under another code in the second",
         {"06:x", "07:y"},
         {"05:y"},
         {"05:x"},
         {"05:x"},
         {},
         {"05@11", "05@22"},
         2},
        {"one code under two identifiers of two account sets",
         {"00:zhang"},
         {"01:zhang"},
         {"02:zhang"},
         {"01:zhang", "02:zhang"},
         {},
         {"01@11", "02@22"},
         2},
        {"identical and clashing, with its access to the account set held already",
         {"01:lina", "02:lina"},
         {"01:lina"},
         {},
         {"01:lina"},
         {"01"},
         {"01@11", "01@22"},
         1,
         {"01@11", "01@22"}},
    };
    const auto pair = [](const std::string& hex) { return hex.substr(0, 2); };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string folder = Sub("case" + std::to_string(++n));
        MakeCentral(folder);
        const std::string central = folder + "/NXCentre.mdb";
        const auto add = [](const std::string& file, const Texts& members) {
            for (const std::string& m : members) Member(file, Hex16(m.substr(0, 2).c_str()), m.substr(3));
        };
        add(central, c.central);
        for (const std::string& m : c.central)
            Exec(central, "insert into Cert_MLConn values ('" + Hex16(m.substr(0, 2).c_str()) + "', 1)");
        for (const std::string& a : c.centralAccess)
            Exec(central, "insert into Cert_ACL values ('" + Hex16(a.substr(0, 2).c_str()) + "', '" +
                              Hex16(a.substr(3).c_str()) + "', 11, 1, 3, 5)");
        add(AccountSet(folder, "LUMO01", "{11111111-1111-1111-1111-111111111111}"), c.first);
        add(AccountSet(folder, "LUMO02", "{22222222-2222-2222-2222-222222222222}"), c.second);
        PutValue(1, 14, StoredFactories({EmbeddedFactory(1, folder, {"LUMO01", "LUMO02"})}));

        EXPECT_EQ(Transfer().size(), c.messages);
        Texts members, links, access;
        for (const std::string& row : Rows(central, "select UID, Code from CERT_Member order by UID, Code"))
            members.push_back(pair(row) + ":" + row.substr(33));
        for (const std::string& row : Rows(central, "select UID from Cert_MLConn order by UID"))
            links.push_back(pair(row));
        for (const std::string& row :
             Rows(central, "select UserID, ResID from Cert_ACL order by UserID, ResID"))
            access.push_back(pair(row) + "@" + pair(row.substr(33)));
        EXPECT_EQ(members, c.members);
        EXPECT_EQ(links, c.links);
        EXPECT_EQ(access, c.access);
    }
}

TEST_F(UserRights, FailuresRaiseAndKeepWhatWasDone) {
    MakeCentral(a);
    Member(a + "/NXCentre.mdb", Hex16("01"), "one");
    Member(a + "/NXCentre.mdb", Hex16("02"), "two");
    const std::string set = AccountSet(a, "LUMO01", "{11111111-1111-1111-1111-111111111111}");
    Member(set, Hex16("01"), "uno");
    Member(set, Hex16("02"), "dos", "n", "'x'");
    PutValue(1, 14, StoredFactories({EmbeddedFactory(1, a, {"LUMO01"})}));
    EXPECT_THROW(Transfer(), support::EConvertError);
    // The member before is moved; the one whose row cannot be copied leaves its central one in place.
    EXPECT_EQ(Rows(a + "/NXCentre.mdb", "select Code from CERT_Member order by UID"), (Texts{"uno", "two"}));

    // A server without its central catalogue cannot be opened.
    std::filesystem::remove(a + "/NXCentre.mdb");
    EXPECT_THROW(Transfer(), db::EDatabaseError);
}

TEST(UserRightsStatements, SqlServerTextsWithMemberTextsQuoted) {
    // The central catalogue and the account set are two recorded databases of one server.
    auto centralDb = std::make_shared<db::RecordingDatabase>();
    auto setDb = std::make_shared<db::RecordingDatabase>();
    const auto central = db::RecordingDriverFactory(centralDb), set = db::RecordingDriverFactory(setDb);
    db::ScopedDriverOverride servers("SQLOLEDB", [&](const std::string& cs) {
        return cs.find("Initial Catalog=NXCentre") != std::string::npos ? central(cs) : set(cs);
    });
    db::MemoryRecordset centralRows({"UID", "Code"});
    centralRows.AddRow({Hex16("01"), "bob"});
    centralDb->OnQuery(" Select * from CERT_Member ", centralRows);
    db::MemoryRecordset setRows({"UID", "Name", "Code", "Psdc", "Descript", "Attr", "CRC"});
    setRows.AddRow({Hex16("01"), "O'Brien", "b'ob", "p'w", "it's", std::int64_t{2}, std::int64_t{-5}});
    setDb->OnQuery(" Select * from CERT_Member ", setRows);

    support::TDBInfoRec server{support::dbtMsSql, false, "SRV", 1433, "", "sa", "pw"};
    support::TInstanceRec inst;
    inst.DBName = "LUMO01";
    inst.DBInfo = server;
    inst.InstanceID = support::StringToGuid("{11111111-1111-1111-1111-111111111111}");
    support::TInstanceRec elsewhere = inst;
    elsewhere.DBInfo.Server = "srv";  // another server text: not visited
    TLumoServiceMng().TransferUserRights({server}, {inst, elsewhere});

    const std::string u = Hex16("01"), r = Hex16("11");
    EXPECT_EQ(centralDb->Statements(),
              (Texts{" Select * from CERT_Member ", " Delete From Cert_Member where UID='" + u + "' ",
                     " Delete From Cert_MLConn where UID='" + u + "' ",
                     " Delete From Cert_ACL where UserID='" + u + "' ",
                     " INSERT INTO CERT_Member(UID, Name, Code, Psdc, Descript, Attr, CRC) VALUES('" + u +
                         "', 'O''Brien', 'b''ob', 'p''w', 'it''s', 2, -5) ",
                     "INSERT INTO CERT_ACL(UserID, ResID, ResType, ACK, Falg, CRC) VALUES('" + u + "', '" +
                         r + "', 11, 1, 3, " + std::to_string(AclCrc(u, r, 1, 3)) + ")"}));
    EXPECT_EQ(setDb->Statements(), Texts{" Select * from CERT_Member "});
}

TEST(UserRightsCodes, IdentifierTextsMasksAndChecksums) {
    const auto bytes = [](std::string_view hex) { return support::GuidToBytes(HexToGuid(hex)); };
    const support::GuidBytes counting{0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                      0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    EXPECT_EQ(bytes("00112233445566778899AABBCCDDEEFF"), counting);
    EXPECT_EQ(bytes("00112233445566778899aabbccddeeff"), counting);
    EXPECT_EQ(bytes("00112233445566778899AABBCCDDEEFF0102"), counting);
    EXPECT_EQ(bytes("0011G2"), (support::GuidBytes{0x00, 0x11}));
    EXPECT_EQ(bytes("00112"), (support::GuidBytes{0x00, 0x11}));
    EXPECT_EQ(bytes(""), support::GuidBytes{});
    EXPECT_EQ(support::GuidToHex(HexToGuid("00112233445566778899aabbccddeeff")),
              "00112233445566778899AABBCCDDEEFF");

    std::array<int, 15> states{};
    EXPECT_EQ(RightsMask(states), 0u);
    states[0] = 1;
    EXPECT_EQ(RightsMask(states), 1u);
    states[0] = 2;
    states[1] = 3;
    states[2] = 4;
    states[14] = 3;
    EXPECT_EQ(RightsMask(states), 0x40034002u);

    EXPECT_EQ(Crc32Raw("abc"), 0xCADBBE3Du);
    EXPECT_EQ(static_cast<std::int32_t>(Crc32Raw("abc")), -891568579);
    EXPECT_EQ(Crc32Raw(""), 0xFFFFFFFFu);
    EXPECT_EQ(AclCrc(Hex16("00"), Hex16("11"), 1, 3), -2132609329);
}

TEST_F(UserRights, ConfigurationDatabaseIsLookedForInTheFolder) {
    EXPECT_FALSE(ConfigDatabaseExists(a));
    PutText("a/LumoConfig.mdb", "");
    EXPECT_TRUE(ConfigDatabaseExists(a));
    EXPECT_TRUE(ConfigDatabaseExists(a + "/"));
}

}  // namespace
}  // namespace kestrane::product
