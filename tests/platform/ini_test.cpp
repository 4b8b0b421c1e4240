#include "platform/ini.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "common/temp_folder.h"
#include "platform/file_system.h"
#include "support/codepage.h"

namespace fs = std::filesystem;
using namespace kestrane::platform;
using kestrane::support::Utf8ToCp936;

namespace {

class IniTest : public kestrane::testing::TempFolderTest {};

// A file as people and older programs leave them: mixed line ends, blanks, comments, quotes.
const std::string kProfile = Utf8ToCp936(
    "orphan=before any section\r\n"
    "[UpdateConfig]\r\n"
    "  pf_version =  V5.2 \r\n"
    "; pf_version=commented\n"
    "Quoted=\"  kept blanks  \"\r\n"
    "Single='x'\r"
    "Half=\"open\r\n"
    "\r\n"
    "[ 主配置 ]\r\n"
    "net=False\r\n"
    "名称=中文\r\n"
    "[updateconfig]\r\n"
    "pf_version=shadowed\r\n"
    "last=no line break");

TEST_F(IniTest, ProfileReadRules) {
    const IniFile ini(Put("Update.upf", kProfile));
    struct Case {
        std::string section, key, want;
    };
    const Case cases[] = {
        {"UpdateConfig", "pf_version", "V5.2"},
        {"UPDATECONFIG", "PF_VERSION", "V5.2"},  // first of two same-named sections
        {"UpdateConfig", "Quoted", "  kept blanks  "},
        {"UpdateConfig", "Single", "x"},
        {"UpdateConfig", "Half", "\"open"},
        {"主配置", "net", "False"},
        {"主配置", "名称", "中文"},
        {"UpdateConfig", "orphan", "<none>"},
        {"UpdateConfig", "last", "<none>"},
        {"updateconfig", "last", "<none>"},
        {"Missing", "pf_version", "<none>"},
        {"UpdateConfig", "; pf_version", "<none>"},
    };
    for (const auto& c : cases) EXPECT_EQ(ini.ReadString(c.section, c.key, "<none>"), c.want) << c.key;
    EXPECT_TRUE(ini.SectionExists("主配置"));
    EXPECT_TRUE(ini.ValueExists("UpdateConfig", "Half"));
    EXPECT_FALSE(ini.ValueExists("UpdateConfig", "orphan"));
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"UpdateConfig", "主配置"}));
    EXPECT_EQ(ini.ReadSection("updateConfig"),
              (std::vector<std::string>{"pf_version", "Quoted", "Single", "Half"}));
    EXPECT_EQ(IniFile(dir_ + "absent.ini").ReadString("a", "b", "def"), "def");
}

TEST_F(IniTest, ProfileWriteReplacesOnlyThatLine) {
    const std::string path = Put("Update.upf", kProfile);
    IniFile ini(path);
    ini.WriteString("updateconfig", "PF_VERSION", "V6.0");
    std::string want = kProfile;
    want.replace(want.find("  pf_version =  V5.2 "), 21, "PF_VERSION=V6.0");
    EXPECT_EQ(Slurp(path), want);
    EXPECT_EQ(ini.ReadString("UpdateConfig", "pf_version", ""), "V6.0");
}

TEST_F(IniTest, ProfileWriteAddsKeysAndSections) {
    const std::string path = Put("KV_Param.ini", "[A]\r\nx=1\r\n\r\n[B]\ny=2");
    IniFile ini(path);
    ini.WriteString("a", "z", "3");               // after the section's last line, before the blank one
    ini.WriteString("B", "w", "4");               // the last line gains a line break first
    ini.WriteString("DBSection", "Psw", "中文");  // new section at the end, in code page 936
    EXPECT_EQ(Slurp(path),
              "[A]\r\nx=1\r\nz=3\r\n\r\n[B]\ny=2\r\nw=4\r\n[DBSection]\r\nPsw=\xD6\xD0\xCE\xC4\r\n");
    EXPECT_EQ(ini.ReadInteger("A", "z", 0), 3);
    ini.WriteInteger("A", "x", -5);
    EXPECT_EQ(ini.ReadInteger("A", "x", 0), -5);
    EXPECT_EQ(ini.ReadInteger("DBSection", "Psw", 9), 9);
}

TEST_F(IniTest, ProfileCreatesMissingFileAndKeepsItsMode) {
    const std::string path = dir_ + "new.ini";
    IniFile ini(path);
    ini.WriteString("S", "k", "v");
    EXPECT_EQ(Slurp(path), "[S]\r\nk=v\r\n");
    SetFileAttributes(path, FileAttributes{0600});
    ini.WriteString("S", "k", "w");
    EXPECT_EQ(GetFileAttributes(path)->mode, 0600u);
}

TEST_F(IniTest, ProfileDeleteKeyAndEraseSection) {
    const std::string path = Put("x.ini", "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
    IniFile ini(path);
    ini.DeleteKey("a", "X");
    ini.DeleteKey("Missing", "x");
    EXPECT_EQ(Slurp(path), "[A]\r\ny=2\r\n[B]\r\nz=3\r\n");
    ini.EraseSection("A");
    EXPECT_EQ(Slurp(path), "[B]\r\nz=3\r\n");
}

TEST_F(IniTest, ProfileRefusesEntriesThatWouldBreakTheFile) {
    const std::string path = Put("x.ini", "[A]\r\nx=1\r\n");
    IniFile ini(path);
    EXPECT_THROW(ini.WriteString("A", "k", "one\r\nevil=1"), EFileSystemError);
    EXPECT_THROW(ini.WriteString("A]", "k", "v"), EFileSystemError);
    EXPECT_THROW(ini.WriteString("A", "k=j", "v"), EFileSystemError);
    EXPECT_THROW(ini.WriteString("A", " ", "v"), EFileSystemError);
    EXPECT_EQ(Slurp(path), "[A]\r\nx=1\r\n");
}

TEST_F(IniTest, DamagedBytesReadAsQuestionMarks) {
    const IniFile ini(Put("bad.ini",
                          "[S]\r\nk=a\xFF"
                          "b\xD6\xD0\x81\r\n"));
    EXPECT_EQ(ini.ReadString("S", "k", ""), "a?b中?");
    EXPECT_EQ(DecodeCp936Lenient("\xC9\xFD\xBC\xB6"), "升级");
}

TEST(MemIniFile, LoadingNormalises) {
    MemIniFile ini;
    ini.SetText(
        "lost=before the first section\r\n"
        "  [ 升级时间：2026-12-10 09:13:04 ]  \r\n"
        "详细信息=\r\n"
        "    备注 = x\r\n"
        "\r\n"
        "; comment\r\n"
        "  plain line  \r\n"
        "a = b = c\r\n"
        "[next]\r\n"
        "[not a header\r\n");
    EXPECT_EQ(ini.GetStrings(),
              (std::vector<std::string>{"[升级时间：2026-12-10 09:13:04]", "详细信息=", "备注=x",
                                        "plain line", "a=b = c", "", "[next]", "[not a header", ""}));
    EXPECT_EQ(ini.ReadString("升级时间：2026-12-10 09:13:04", "A", "?"), "b = c");
    EXPECT_EQ(ini.ReadSection("升级时间：2026-12-10 09:13:04"),
              (std::vector<std::string>{"详细信息", "备注", "a"}));
}

TEST(MemIniFile, WriteStringReplacesInPlaceOrAppends) {
    MemIniFile ini;
    ini.SetText("[A]\nx=1\ny=2\n[B]\nz=3\n");
    ini.WriteString("a", "X", "first\r\nsecond");
    ini.WriteString("B", "w", "4");
    ini.WriteString("C", "v", "5");
    EXPECT_EQ(ini.GetText(),
              "[A]\r\nX=first\r\nsecond\r\ny=2\r\n\r\n[B]\r\nz=3\r\nw=4\r\n\r\n[C]\r\nv=5\r\n\r\n");
    EXPECT_EQ(ini.ReadString("A", "x", ""), "first\r\nsecond");
    EXPECT_TRUE(ini.ValueExists("b", "W"));
    ini.DeleteKey("B", "z");
    ini.EraseSection("a");
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"B", "C"}));
    EXPECT_EQ(ini.ReadSectionValues("B"), (std::vector<std::string>{"w=4"}));
    EXPECT_EQ(ini.ReadInteger("C", "v", 0), 5);
}

TEST_F(IniTest, MemIniFileRoundTripsThroughCodePage936) {
    const std::string path = Put("lumosetup.dat", Utf8ToCp936("[SETUP]\r\nNETVER = no\r\n名称=中文\r\n"));
    MemIniFile ini(path);
    EXPECT_EQ(ini.ReadString("setup", "netver", "TRUE"), "no");
    ini.WriteString("SETUP", "名称", "升级");
    ini.UpdateFile();
    EXPECT_EQ(Slurp(path), "[SETUP]\r\nNETVER=no\r\n\xC3\xFB\xB3\xC6=\xC9\xFD\xBC\xB6\r\n\r\n");
    EXPECT_EQ(MemIniFile(dir_ + "absent").GetStrings(), std::vector<std::string>{});
}

// Any bytes read as some INI file: the whole-file form is stable once normalised, and writing a key
// into any file makes it readable.
TEST_F(IniTest, ArbitraryBytes) {
    std::mt19937 random(20261210);
    const std::string alphabet = "[]=; \t\r\nab\"'\xD6\xD0\x81\xFF\x80";
    for (int round = 0; round < 300; ++round) {
        std::string bytes(random() % 400, '\0');
        for (char& c : bytes) c = alphabet[random() % alphabet.size()];
        const std::string path = Put("any.ini", bytes);
        const MemIniFile once(path);
        MemIniFile twice;
        twice.SetText(once.GetText());
        EXPECT_EQ(twice.GetText(), once.GetText()) << round;

        IniFile ini(path);
        for (const auto& section : ini.ReadSections())
            if (!section.empty() && section.find(']') == std::string::npos) ini.ReadSection(section);
        ini.WriteString("Probe", "key", "value");
        EXPECT_EQ(ini.ReadString("probe", "KEY", ""), "value") << round;
    }
    EXPECT_EQ(DecodeCp936Lenient(std::string(1 << 16, '\xFF')), std::string(1 << 16, '?'));
}

}  // namespace
