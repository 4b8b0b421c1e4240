#include "db/oracle_net.h"

#include <gtest/gtest.h>

#include "db/connect.h"
#include "db_test_util.h"
#include "support/text.h"

using namespace kestrane::db;
using namespace kestrane::db::testing;

namespace {

const char* kEntry =
    "orcl_db1 =\r\n  (DESCRIPTION = \r\n    (ADDRESS_LIST =\r\n      (ADDRESS = (PROTOCOL = TCP)(HOST = "
    "db1)(PORT = "
    "1521))\r\n    )\r\n    (CONNECT_DATA =\r\n      (SID = orcl)\r\n      (SERVER = DEDICATED)\r\n    )\r\n "
    " )\r\n";

// An inventory and homes below one temporary folder, found through a private oraInst.loc.
struct Inventory {
    TempDir dir;
    Inventory() { SetOraInstLocFile(dir.File("oraInst.loc")); }
    ~Inventory() { SetOraInstLocFile(""); }
    void Write(const std::string& homes) {
        WriteFile(dir.File("oraInst.loc"),
                  "# comment\ninst_group=oinstall\ninventory_loc=" + dir.File("inv") + "\n");
        WriteFile(dir.File("inv/ContentsXML/inventory.xml"),
                  "<?xml version=\"1.0\"?>\n<INVENTORY><VERSION_INFO/><HOME_LIST>" + homes +
                      "</HOME_LIST></INVENTORY>");
    }
    std::string Home(const std::string& name, const std::string& tns = "# empty\n") {
        const std::string f = dir.File(name + "/network/admin/tnsnames.ora");
        WriteFile(f, tns);
        return f;
    }
};

}  // namespace

TEST(TnsEntry, AppendedUnlessTheAliasIsDefined) {
    TempDir dir;
    struct Case {
        const char* text;
        bool appended;
    };
    const Case cases[] = {
        {"", true},
        {"ORCL_DB1 =\n (DESCRIPTION=)\n", false},
        {"  orcl_db1=(x)\n", false},
        {"\torcl_db1   =\r\n", false},
        {"#orcl_db1 = (commented)\n", true},
        {"  # orcl_db1 =\n", true},
        {"orcl_db10 =\n", true},
        {"orcl_db1\n", true},  // no "=" on the line
        {"other = (x)\n\n", true},
    };
    for (const auto& c : cases) {
        const std::string f = dir.File("tnsnames.ora");
        WriteFile(f, c.text);
        AddTnsEntry(f, "db1", "orcl", 1521);
        std::string want = c.text;
        if (c.appended) {
            std::string lines;
            for (const auto& l : kestrane::support::SplitLines(c.text)) lines += l + "\r\n";
            want = lines + "\r\n\r\n" + kEntry;
        }
        EXPECT_EQ(ReadFile(f), want) << c.text;
    }
    AddTnsEntry("", "db1", "orcl", 1521);                      // nothing to do
    AddTnsEntry(dir.File("absent.ora"), "db1", "orcl", 1521);  // nor here
    EXPECT_FALSE(std::filesystem::exists(dir.File("absent.ora")));
}

TEST(TnsEntry, Cp936BytesOfTheFileStay) {
    TempDir dir;
    const std::string f = dir.File("tnsnames.ora");
    const std::string gbk = "# \xD6\xD0\xCE\xC4\n";  // a GBK comment line
    WriteFile(f, gbk);
    AddTnsEntry(f, "db1", "orcl", 1521);
    EXPECT_EQ(ReadFile(f).substr(0, 8), "# \xD6\xD0\xCE\xC4\r\n");
}

TEST(TnsEntry, TheFileIsReplacedWholeNeverTruncatedInPlace) {
    TempDir dir;
    const std::string f = dir.File("tnsnames.ora");
    WriteFile(f, "other = (x)\n");
    std::filesystem::permissions(f, std::filesystem::perms(0640));
    // A second name of the same file sees it as it was: the new content is a new file put in place.
    std::filesystem::create_hard_link(f, dir.File("before.ora"));
    AddTnsEntry(f, "db1", "orcl", 1521);
    EXPECT_EQ(ReadFile(dir.File("before.ora")), "other = (x)\n");
    EXPECT_EQ(ReadFile(f), std::string("other = (x)\r\n\r\n\r\n") + kEntry);
    EXPECT_EQ(std::filesystem::status(f).permissions(), std::filesystem::perms(0640));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 2);

    // A home whose tnsnames.ora links to a shared file updates the shared file and keeps the link.
    WriteFile(dir.File("shared/tnsnames.ora"), "# shared\n");
    std::filesystem::create_directories(dir.File("home"));
    std::filesystem::create_symlink("../shared/tnsnames.ora", dir.File("home/tnsnames.ora"));
    AddTnsEntry(dir.File("home/tnsnames.ora"), "db1", "orcl", 1521);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.File("home/tnsnames.ora")));
    EXPECT_EQ(ReadFile(dir.File("shared/tnsnames.ora")), std::string("# shared\r\n\r\n\r\n") + kEntry);
}

TEST(FindXmlNode, PathsCaseInsensitive) {
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string("<Inventory><a/><Home_List><HOME NAME=\"x\"/></Home_List></Inventory>"));
    EXPECT_STREQ(FindXmlNode(doc, "INVENTORY/HOME_LIST").name(), "Home_List");
    EXPECT_STREQ(FindXmlNode(doc, " inventory / home_list /home").attribute("NAME").value(), "x");
    EXPECT_EQ(FindXmlNode(doc, ""), doc);
    EXPECT_EQ(FindXmlNode(doc, "INVENTORY/"), FindXmlNode(doc, "INVENTORY"));
    EXPECT_FALSE(FindXmlNode(doc, "INVENTORY/NONE"));
    EXPECT_FALSE(FindXmlNode(doc, "HOME_LIST"));
    EXPECT_FALSE(FindXmlNode(pugi::xml_node(), "A"));
}

TEST(RegisterTnsAlias, OnlyLiveOracleHomes) {
    Inventory inv;
    const std::string live = inv.Home("h1");
    const std::string removed = inv.Home("h2");
    const std::string client = inv.Home("h3");
    const std::string lower = inv.Home("h4");
    inv.Write("<HOME NAME=\"a\" LOC=\"" + inv.dir.File("h1") + "\" TYPE=\"O\" IDX=\"1\"/>" +
              "<HOME NAME=\"b\" LOC=\"" + inv.dir.File("h2") + "\" TYPE=\"O\" REMOVED=\"T\"/>" +
              "<HOME NAME=\"c\" LOC=\"" + inv.dir.File("h3") + "\" TYPE=\"X\"/>" + "<!-- c -->" +
              "<home name=\"d\" loc=\"" + inv.dir.File("h4") + "\" type=\"o\" removed=\"F\"/>" +
              "<HOME NAME=\"e\" LOC=\"" + inv.dir.File("none") + "\" TYPE=\"O\"/>");
    EXPECT_EQ(OracleInventoryLocation(), inv.dir.File("inv"));
    EXPECT_EQ(OracleAlias("db1", "orcl", 1521), "orcl_db1");
    const std::string appended = std::string("# empty\r\n\r\n\r\n") + kEntry;
    EXPECT_EQ(ReadFile(live), appended);
    EXPECT_EQ(ReadFile(removed), "# empty\n");
    EXPECT_EQ(ReadFile(client), "# empty\n");
    EXPECT_EQ(ReadFile(lower), appended);
    // A second registration finds the alias and leaves the files alone.
    RegisterTnsAlias("DB1", "ORCL", 1521);
    EXPECT_EQ(ReadFile(live), appended);
}

TEST(RegisterTnsAlias, MissingPiecesEndQuietlyBadXmlRaises) {
    Inventory inv;
    EXPECT_EQ(OracleInventoryLocation(), "");
    EXPECT_NO_THROW(RegisterTnsAlias("db1", "orcl", 1521));  // no oraInst.loc
    WriteFile(inv.dir.File("oraInst.loc"), "inventory_loc=" + inv.dir.File("inv") + "\n");
    EXPECT_NO_THROW(RegisterTnsAlias("db1", "orcl", 1521));  // no inventory.xml
    WriteFile(inv.dir.File("inv/ContentsXML/inventory.xml"), "<INVENTORY><OTHER/></INVENTORY>");
    EXPECT_NO_THROW(RegisterTnsAlias("db1", "orcl", 1521));  // no HOME_LIST
    WriteFile(inv.dir.File("inv/ContentsXML/inventory.xml"), "<INVENTORY><HOME_LIST>");
    EXPECT_THROW(RegisterTnsAlias("db1", "orcl", 1521), EDatabaseError);

    kestrane::support::TDBInfoRec ora;
    ora.DBType = kestrane::support::dbtOracle;
    ora.Server = "db1";
    ora.SID = "orcl";
    ora.Port = 1521;
    ora.User = "system";
    ora.Password = "pw";
    WriteFile(inv.dir.File("inv/ContentsXML/inventory.xml"), "<INVENTORY/>");
    EXPECT_EQ(BuildConnectionString(ora, ""),
              "Provider=OraOLEDB.Oracle.1;Data Source=orcl_db1;User ID=system;Password=pw;Persist Security "
              "Info=True");
    EXPECT_EQ(BuildConnectionString(ora, "LUMO01"),
              "Provider=OraOLEDB.Oracle.1;Data Source=orcl_db1;User ID=LUMO01;Password=pw;Persist Security "
              "Info=True");
}
