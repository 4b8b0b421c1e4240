#include "patch/patch_version.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/expect_error.h"
#include "common/temp_folder.h"
#include "platform/ini.h"
#include "support/codepage.h"

namespace kestrane::patch {
namespace {

using Strings = std::vector<std::string>;
using testing::Caught;

void Load(TPatchVersion& v, const std::string& xml) {
    v.LoadFromStream({reinterpret_cast<const std::uint8_t*>(xml.data()), xml.size()});
}

TPatchVersion Parsed(const std::string& xml) {
    TPatchVersion v;
    Load(v, xml);
    return v;
}

const std::string kFull = R"(<?xml version="1.0" encoding="UTF-8"?>
<patch>
  <type>3</type>
  <patchNo>P-2026-07</patchNo>
  <patchName>七月补丁</patchName>
  <description>修正单据打印</description>
  <program>
    <newVersion><tag>R2.2</tag><name>二点二</name></newVersion>
    <versions>
      <v><tag>R2.1A</tag><name>二点一A</name></v>
      <entry><tag>r2.0</tag></entry>
      <v><name>no tag</name></v>
    </versions>
  </program>
  <instance>
    <newVersion><tag>8.2</tag><name>账套8.2</name></newVersion>
    <versions><x><tag>8.1</tag><name>账套8.1</name></x></versions>
  </instance>
</patch>)";

TEST(PatchVersionParse, ReadsEveryFieldWithVersionsInDocumentOrder) {
    const TPatchVersion v = Parsed(kFull);
    EXPECT_TRUE(v.Loaded());
    EXPECT_EQ(v.Type, 3);
    EXPECT_EQ(v.PatchNo, "P-2026-07");
    EXPECT_EQ(v.PatchName, "七月补丁");
    EXPECT_EQ(v.Description, "修正单据打印");
    EXPECT_EQ(v.ProgramNewTag, "R2.2");
    EXPECT_EQ(v.ProgramNewName, "二点二");
    EXPECT_EQ(v.ProgramVersions, (TVersionArray{{"R2.1A", "二点一A"}, {"r2.0", ""}, {"", "no tag"}}));
    EXPECT_EQ(v.InstanceNewTag, "8.2");
    EXPECT_EQ(v.InstanceNewName, "账套8.2");
    EXPECT_EQ(v.InstanceVersions, (TVersionArray{{"8.1", "账套8.1"}}));
}

TEST(PatchVersionParse, TypeOutsideZeroToThreeOrNotAnIntegerIsZero) {
    const struct {
        const char* element;
        int type;
    } cases[] = {
        {"<type>3</type>", 3},
        {"<type>1</type>", 1},
        {"<type> 2\n</type>", 2},
        {"<type>+2</type>", 2},
        {"<type>7</type>", 0},
        {"<type>-1</type>", 0},
        {"<type>x</type>", 0},
        {"<type>2x</type>", 0},
        {"<type>1.5</type>", 0},
        {"<type></type>", 0},
        {"<type>99999999999</type>", 0},
        // Absent or holding an element: no integer either, and the type is always assigned.
        {"", 0},
        {"<type><n>2</n></type>", 0},
    };
    for (const auto& c : cases) {
        TPatchVersion v;
        v.Type = 2;
        Load(v, std::string("<p>") + c.element + "<patchNo>n</patchNo></p>");
        EXPECT_EQ(v.Type, c.type) << c.element;
    }
}

TEST(PatchVersionParse, LeafTextIsItsCharacterDataAndEmptyWhenItHoldsElements) {
    const TPatchVersion v = Parsed(
        "<p><patchNo>a<!-- note -->b<![CDATA[<c>]]></patchNo>"
        "<patchName><b>bold</b></patchName>"
        "<description>\n    several words  \n</description>"
        "<program><newVersion><tag>R1<sub/></tag><name>&lt;one&gt; &amp; "
        "&#x4E00;</name></newVersion></program>"
        "</p>");
    EXPECT_EQ(v.PatchNo, "ab<c>");
    EXPECT_EQ(v.PatchName, "");
    EXPECT_EQ(v.Description, "several words");
    EXPECT_EQ(v.ProgramNewTag, "");
    EXPECT_EQ(v.ProgramNewName, "<one> & 一");
}

TEST(PatchVersionParse, ElementNamesAreExact) {
    const TPatchVersion v = Parsed(
        "<p><Type>3</Type><patchno>x</patchno><Program><newVersion><tag>R9</tag></newVersion></Program>"
        "<program><newversion><tag>R8</tag></newversion><versions><v><TAG>R7</TAG></v></versions></program>"
        "</p>");
    EXPECT_EQ(v.Type, 0);
    EXPECT_EQ(v.PatchNo, "");
    EXPECT_EQ(v.ProgramNewTag, "");
    EXPECT_EQ(v.ProgramVersions, (TVersionArray{{"", ""}}));
}

TEST(PatchVersionParse, AbsentPartsKeepEarlierValues) {
    TPatchVersion v;
    Load(v, kFull);

    // A root without elements changes nothing at all, the four head fields included.
    Load(v, "<patch>only text</patch>");
    EXPECT_EQ(v.Type, 3);
    EXPECT_EQ(v.PatchNo, "P-2026-07");

    // No "instance"; "program" with a new version but an empty list: the lists stay.
    Load(v,
         "<patch><type>1</type><program><newVersion><tag>R3</tag></newVersion><versions/></program></patch>");
    EXPECT_EQ(v.Type, 1);
    EXPECT_EQ(v.PatchNo, "");  // head fields are always assigned
    EXPECT_EQ(v.ProgramNewTag, "R3");
    EXPECT_EQ(v.ProgramNewName, "");
    EXPECT_EQ(v.ProgramVersions.size(), 3u);
    EXPECT_EQ(v.InstanceNewTag, "8.2");
    EXPECT_EQ(v.InstanceVersions, (TVersionArray{{"8.1", "账套8.1"}}));

    // A "program" without children, then a shorter list that replaces the longer one.
    Load(v, "<patch><program/><instance><newVersion/></instance></patch>");
    EXPECT_EQ(v.ProgramNewTag, "R3");
    EXPECT_EQ(v.InstanceNewTag, "");
    Load(v, "<patch><program><versions><v><tag>R2.9</tag></v></versions></program></patch>");
    EXPECT_EQ(v.ProgramNewTag, "R3");
    EXPECT_EQ(v.ProgramVersions, (TVersionArray{{"R2.9", ""}}));
}

TEST(PatchVersionParse, ChineseCodePageAndUtf16AreRead) {
    const std::string gbk = "<?xml version=\"1.0\" encoding=\"GB2312\"?><p><patchName>" +
                            support::Utf8ToCp936("七月补丁") + "</patchName></p>";
    EXPECT_EQ(Parsed(gbk).PatchName, "七月补丁");

    const std::u16string text = u"<p><patchName>七月</patchName></p>";
    std::string utf16 = "\xFF\xFE";
    for (char16_t c : text) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    EXPECT_EQ(Parsed(utf16).PatchName, "七月");
}

TEST(PatchVersionParse, MalformedDocumentRaisesAndChangesNothing) {
    const struct {
        const char* name;
        std::string xml;
    } cases[] = {
        {"empty", ""},
        {"text only", "version 2.1"},
        {"unclosed", "<p><type>1</type>"},
        {"mismatched", "<p><type>1</tipe></p>"},
        {"two roots", "<p/><q/>"},
        {"bad attribute", "<p a=1/>"},
        {"lone surrogate", "<p><patchNo>x</patchNo><patchName>&#xD800;</patchName></p>"},
        {"not UTF-8", "<p><patchName>\xC6\xDF\xD4\xC2</patchName></p>"},
        {"declared code page, bytes not", "<?xml version=\"1.0\" encoding=\"gbk\"?><p>\xFF\xFF</p>"},
    };
    for (const auto& c : cases) {
        TPatchVersion v;
        v.PatchNo = "kept";
        const auto e = Caught<EVersionFormatError>([&] { Load(v, c.xml); });
        EXPECT_TRUE(e) << c.name << " parsed";
        if (e) {
            EXPECT_STRNE(e->what(), "") << c.name;
        }
        EXPECT_EQ(v.PatchNo, "kept") << c.name;
        EXPECT_FALSE(v.Loaded()) << c.name;
    }
}

class PatchVersionFiles : public testing::TempFolderTest {};

TEST_F(PatchVersionFiles, LoadFromFileParsesAnExistingFileOnly) {
    TPatchVersion v;
    v.PatchNo = "kept";
    v.LoadFromFile(dir_ + "missing.xml");
    EXPECT_EQ(v.PatchNo, "kept");
    EXPECT_FALSE(v.Loaded());
    v.LoadFromFile(Put("ver.xml", kFull));
    EXPECT_EQ(v.PatchNo, "P-2026-07");
    EXPECT_TRUE(v.Loaded());
    EXPECT_THROW(v.LoadFromFile(Put("bad.xml", "<p>")), EVersionFormatError);
}

TEST(PatchVersionListed, EmptyValuePassesAndTagsCompareWithoutLetterCase) {
    const TVersionArray listed{{"R2.1A", "a"}, {"r2.2", "b"}};
    const struct {
        TVersionArray list;
        const char* value;
        bool listed;
    } cases[] = {
        {listed, "r2.1a", true}, {listed, "R2.2", true}, {listed, "", true}, {{}, "", true},
        {listed, "r2.3", false}, {listed, "a", false},   {{}, "8.1", false}, {listed, "r2.1a ", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TPatchVersion::VersionListed(c.list, c.value), c.listed) << "'" << c.value << "'";
}

class PatchVersionInstalled : public testing::TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        install_ = dir_ + "Lumo/";
        std::filesystem::create_directories(install_);
        version_.ProgramVersions = {{"R2.1A", ""}, {"r2.2", ""}};
        version_.InstanceVersions = {{"8.1", ""}};
    }
    void Upf(const std::string& content) const { Put("Lumo/Update.upf", content); }

    std::string install_;
    TPatchVersion version_;
};

TEST_F(PatchVersionInstalled, ProgramTestReadsUpdateUpf) {
    const struct {
        const char* name;
        const char* upf;  // nullptr: no file
        bool applicable;
    } cases[] = {
        {"no Update.upf", nullptr, true},
        {"no key", "[UpdateConfig]\r\nother=1\r\n", true},
        {"empty version", "[UpdateConfig]\r\npf_version=\r\n", true},
        {"listed, other letter case", "[updateconfig]\r\nPF_VERSION = r2.1a\r\n", true},
        {"not listed", "[UpdateConfig]\r\npf_version=R2.0\r\n", false},
        {"other section", "[Other]\r\npf_version=R2.1A\r\n[UpdateConfig]\r\npf_version=R1\r\n", false},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(install_ + "Update.upf");
        if (c.upf) Upf(c.upf);
        EXPECT_EQ(version_.IsApplicable(vkProgram, install_, ""), c.applicable) << c.name;
        // The folder without its trailing delimiter names the same file.
        EXPECT_EQ(version_.IsApplicable(vkProgram, dir_ + "Lumo", ""), c.applicable) << c.name;
    }
}

TEST_F(PatchVersionInstalled, KindsCombineProgramAndAccountSetTests) {
    Upf("[UpdateConfig]\r\npf_version=R2.2\r\n");
    const struct {
        int kind;
        const char* accountSet;
        bool applicable;
    } cases[] = {
        {vkAccountSet, "8.1", true}, {vkAccountSet, "", true}, {vkAccountSet, "8.0", false},
        {vkBoth, "8.1", true},       {vkBoth, "8.0", false},   {0, "8.1", false},
        {4, "8.1", false},           {-1, "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(version_.IsApplicable(c.kind, install_, c.accountSet), c.applicable)
            << c.kind << " " << c.accountSet;
    Upf("[UpdateConfig]\r\npf_version=R1\r\n");
    EXPECT_FALSE(version_.IsApplicable(vkBoth, install_, "8.1"));
    EXPECT_TRUE(version_.IsApplicable(vkAccountSet, install_, "8.1"));
}

TEST_F(PatchVersionInstalled, EmptyInstallationFolderMeansProgramDir) {
    Upf("[UpdateConfig]\r\npf_version=R1\r\n");
    version_.ProgramDir = install_;
    EXPECT_FALSE(version_.IsApplicable(vkProgram, "", ""));
    version_.ProgramDir = dir_;  // no Update.upf there
    EXPECT_TRUE(version_.IsApplicable(vkProgram, "", ""));
}

TEST_F(PatchVersionInstalled, FreshDescriptorWithoutInstancePassesOnlyEmptyAccountSetVersions) {
    const TPatchVersion v =
        Parsed("<p><type>1</type><program><newVersion><tag>R3</tag></newVersion></program></p>");
    EXPECT_TRUE(v.InstanceVersions.empty());
    EXPECT_TRUE(v.IsApplicable(vkAccountSet, install_, ""));
    EXPECT_FALSE(v.IsApplicable(vkAccountSet, install_, "8.1"));
}

// Records what the stamping asks of the database layer; fails the statements it is told to.
class RecordingStatements : public TAccountSetStatements {
  public:
    void Connect(const support::TDBInfoRec& DBInfo, const std::string& DBName) override {
        calls.push_back("connect " + DBInfo.Server + "/" + DBName);
        current = DBName;
    }
    void ExecSQL(const std::string& sql) override {
        calls.push_back(sql);
        if (sql.rfind("alter", 0) == 0 && alterFails) throw std::runtime_error("column exists");
        if (sql.rfind("update", 0) == 0 && current == failUpdateOf)
            throw std::runtime_error("update refused");
    }
    Strings calls;
    std::string current;
    bool alterFails = false;
    std::string failUpdateOf;
};

class PatchVersionStamp : public PatchVersionInstalled {
  protected:
    void SetUp() override {
        PatchVersionInstalled::SetUp();
        version_.ProgramNewTag = "R2.3";
        version_.InstanceNewTag = "8.2";
        for (const char* name : {"A01", "B02", "C03"}) {
            support::TInstanceRec set;
            set.DBName = name;
            set.DBInfo.Server = "srv";
            set.Selected = name[0] != 'B';
            sets_.push_back(set);
        }
    }
    std::string ProgramVersion() const {
        return platform::IniFile(install_ + "Update.upf").ReadString("UpdateConfig", "pf_version", "?");
    }
    static Strings Stamped(const std::vector<const char*>& names, const std::string& tag = "8.2") {
        Strings calls;
        for (const char* name : names) {
            calls.push_back(std::string("connect srv/") + name);
            calls.push_back("alter table Sys_Accounts add ZTVersion varchar(100) null");
            calls.push_back("update Sys_Accounts set ZTVersion = '" + tag + "'");
        }
        return calls;
    }

    support::TInstArray sets_;
    RecordingStatements db_;
};

TEST_F(PatchVersionStamp, PatchTypeDecidesWhatIsStamped) {
    const struct {
        TKVPatchType type;
        const char* program;
        Strings calls;
    } cases[] = {
        {ptProgram, "R2.3", {}},
        {ptInstance, "R2.1A", Stamped({"A01", "C03"})},
        {ptBoth, "R2.3", Stamped({"A01", "C03"})},
        {ptNone, "R2.1A", {}},
        {static_cast<TKVPatchType>(9), "R2.1A", {}},
    };
    for (const auto& c : cases) {
        Upf("; installed by setup\r\n[UpdateConfig]\r\npf_version=R2.1A\r\nlast=2026-01-01\r\n");
        db_.calls.clear();
        version_.StampNewVersion(c.type, install_, sets_, db_);
        EXPECT_EQ(ProgramVersion(), c.program) << c.type;
        EXPECT_EQ(db_.calls, c.calls) << c.type;
        // Only the key's line changes.
        EXPECT_EQ(Slurp(install_ + "Update.upf"),
                  std::string("; installed by setup\r\n[UpdateConfig]\r\npf_version=") + c.program +
                      "\r\nlast=2026-01-01\r\n")
            << c.type;
    }
}

TEST_F(PatchVersionStamp, WithoutUpdateUpfNothingIsStamped) {
    version_.StampNewVersion(ptBoth, install_, sets_, db_);
    EXPECT_TRUE(db_.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(install_ + "Update.upf"));
}

TEST_F(PatchVersionStamp, EmptyInstallationFolderStampsProgramDir) {
    Upf("[UpdateConfig]\r\npf_version=R2.1A\r\n");
    version_.ProgramDir = install_;
    version_.StampNewVersion(ptProgram, "", sets_, db_);
    EXPECT_EQ(ProgramVersion(), "R2.3");
}

TEST_F(PatchVersionStamp, FailedAlterIsIgnoredAndFailedUpdateRaises) {
    Upf("[UpdateConfig]\r\n");
    db_.alterFails = true;
    version_.StampNewVersion(ptInstance, install_, sets_, db_);
    EXPECT_EQ(db_.calls, Stamped({"A01", "C03"}));

    sets_[1].Selected = true;
    db_.calls.clear();
    db_.failUpdateOf = "B02";
    EXPECT_THROW(version_.StampNewVersion(ptInstance, install_, sets_, db_), std::runtime_error);
    EXPECT_EQ(db_.calls, Stamped({"A01", "B02"}));  // C03 is not reached
}

TEST_F(PatchVersionStamp, QuoteInTheTagStaysInsideTheLiteral) {
    Upf("[UpdateConfig]\r\n");
    version_.InstanceNewTag = "8.2'; drop table Sys_Accounts; --";
    sets_.resize(1);
    version_.StampNewVersion(ptInstance, install_, sets_, db_);
    EXPECT_EQ(db_.calls, Stamped({"A01"}, "8.2''; drop table Sys_Accounts; --"));
}

}  // namespace
}  // namespace kestrane::patch
