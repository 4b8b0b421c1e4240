#include "platform/registry.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "common/env_guard.h"
#include "common/expect_error.h"
#include "common/temp_folder.h"

namespace kp = kestrane::platform;

namespace {

using kestrane::testing::FailsWith;

constexpr char kSample[] =
    "REGEDIT4\r\n"
    "\r\n"
    "; product keys\r\n"
    "[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\r\n"
    "\"AppInstallPath\"=\"D:\\\\App\\\\\"\r\n"
    "@=\"default\"\r\n"
    "\"Count\"=dword:0000001f\r\n"
    "\"Quote\"=\"say \\\"hi\\\"\"\r\n"
    "\"Blob\"=hex:01,02,\\\r\n"
    "  ff\r\n"
    "\"Expand\"=hex(2):25,50,41,54,48,25,00\r\n"
    "\"Multi\"=hex(7):61,00,62,00,00\r\n"
    "\"Q\"=hex(b):01,00,00,00,00,00,00,01\r\n"
    "\"名称\"=\"账套\"\r\n"
    "\r\n"
    "[HKLM\\Software\\Gone]\r\n"
    "\"x\"=\"1\"\r\n"
    "[-HKEY_LOCAL_MACHINE\\Software\\Gone]\r\n"
    "[HKEY_CURRENT_USER\\Software\\Torlinex\\Lumo]\r\n"
    "\"AppInstallPath\"=\"user\"\r\n"
    "\"AppInstallPath\"=-\r\n";

TEST(Registry, ParsesKeysAndEveryValueForm) {
    const kp::Registry reg = kp::Registry::Parse(kSample);
    const kp::RegistryKey* key = reg.OpenKey(kp::RegRoot::LocalMachine, "software\\TORLINEX\\lumo\\");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Path(), "HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo");
    EXPECT_EQ(key->ReadString("appinstallpath"), "D:\\App\\");
    EXPECT_EQ(key->ReadString(""), "default");
    EXPECT_EQ(key->ReadString("Quote"), "say \"hi\"");
    EXPECT_EQ(key->ReadString("Expand"), "%PATH%");
    EXPECT_EQ(key->ReadString("名称"), "账套");
    EXPECT_EQ(key->ReadString("Absent"), "");
    EXPECT_FALSE(key->ValueExists("Absent"));
    EXPECT_EQ(key->FindValue("Count")->number, 31u);
    EXPECT_EQ(key->FindValue("Blob")->data, (std::vector<std::uint8_t>{1, 2, 0xFF}));
    EXPECT_EQ(key->FindValue("Multi")->text, "a\nb");
    EXPECT_EQ(key->FindValue("Q")->number, 0x0100000000000001u);
    EXPECT_THROW(key->ReadString("Count"), kp::ERegistryError);

    // Ancestors exist; deleted keys and deleted values do not.
    EXPECT_TRUE(reg.KeyExists(kp::RegRoot::LocalMachine, "Software\\Torlinex"));
    EXPECT_TRUE(reg.KeyExists(kp::RegRoot::LocalMachine, ""));
    EXPECT_FALSE(reg.KeyExists(kp::RegRoot::LocalMachine, "Software\\Gone"));
    EXPECT_FALSE(reg.KeyExists(kp::RegRoot::LocalMachine, "Software\\Torlinex\\Lumo\\Sub"));
    const kp::RegistryKey* user = reg.OpenKey(kp::RegRoot::CurrentUser, "Software\\Torlinex\\Lumo");
    ASSERT_NE(user, nullptr);
    EXPECT_FALSE(user->ValueExists("AppInstallPath"));
}

TEST(Registry, DecodesWideAndCodePageFiles) {
    // Version-5 export: UTF-16LE with BOM, hex(2) data in UTF-16LE as well.
    const std::u16string wide =
        u"Windows Registry Editor Version 5.00\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"V\"=\"程序\"\r\n"
        u"\"E\"=hex(2):41,00,42,00,00,00\r\n";
    std::string bytes = "\xFF\xFE";
    for (char16_t c : wide) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    const kp::Registry reg = kp::Registry::Parse(bytes);
    ASSERT_TRUE(reg.KeyExists(kp::RegRoot::LocalMachine, "K"));
    EXPECT_EQ(reg.OpenKey(kp::RegRoot::LocalMachine, "K")->ReadString("V"), "程序");
    EXPECT_EQ(reg.OpenKey(kp::RegRoot::LocalMachine, "K")->ReadString("E"), "AB");

    // A REGEDIT4 file saved in code page 936: "程序" is B3 CC D0 F2.
    const kp::Registry ansi = kp::Registry::Parse("REGEDIT4\n[HKLM\\K]\n\"V\"=\"\xB3\xCC\xD0\xF2\"\n");
    EXPECT_EQ(ansi.OpenKey(kp::RegRoot::LocalMachine, "K")->ReadString("V"), "程序");
}

TEST(Registry, MalformedFilesFailWithTheirLine) {
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"[HKLM\\K]\n", "line 1: missing REGEDIT4 header"},
        {"REGEDIT4\n\"v\"=\"x\"\n", "line 2: value outside a key"},
        {"REGEDIT4\n[HKLM\\K\n", "line 2: unterminated key name"},
        {"REGEDIT4\n[HKEY_NOWHERE\\K]\n", "line 2: unknown root key"},
        {"REGEDIT4\n[]\n", "line 2: empty key name"},
        {"REGEDIT4\n[HKLM\\K]\n\"v\"=\"open\n", "line 3: unterminated quoted text"},
        {"REGEDIT4\n[HKLM\\K]\n\"v\"\n", "line 3: missing '='"},
        {"REGEDIT4\n[HKLM\\K]\nv=\"x\"\n", "line 3: bad value name"},
        {"REGEDIT4\n[HKLM\\K]\n\"v\"=dword:123456789\n", "line 3: bad dword"},
        {"REGEDIT4\n[HKLM\\K]\n\"v\"=dword:xyz\n", "line 3: bad dword"},
        {"REGEDIT4\n[HKLM\\K]\n\"v\"=hex:1,zz\n", "line 3: bad hex byte"},
        {"REGEDIT4\n[HKLM\\K]\n\"v\"=hex(\n", "line 3: unknown value type"},
        {"REGEDIT4\n[HKLM\\K]\n\"v\"=hex(ffffffffffff):00\n", "line 3: unknown value type"},
        {"REGEDIT4\n[HKLM\\K]\n\"v\"=str:1\n", "line 3: unknown value type"},
        {"REGEDIT4\n[HKLM\\K]\n\"v\"=\"x\" y\n", "line 3: text after the value"},
        {"REGEDIT4\n[HKLM\\K]\n\"v\"=hex:01,\\\n", "line 3: unterminated continuation"},
        {"REGEDIT4\n[HKLM\\K]\n\"v\"=hex(1):ff,fe\n", "line 3: undecodable text value"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_TRUE(FailsWith<kp::ERegistryError>([&] { kp::Registry::Parse(c.text); },
                                                  std::string("Invalid registry file, ") + c.message));
    }
    EXPECT_THROW(kp::Registry::Parse(std::string("\xFF\xFE\x00\xD8", 4)),
                 kp::ERegistryError);  // lone surrogate
}

TEST(Registry, EmptyTextIsAnEmptyRegistry) {
    const kp::Registry reg = kp::Registry::Parse("");
    EXPECT_FALSE(reg.KeyExists(kp::RegRoot::LocalMachine, "Software"));
}

class RegistryFile : public kestrane::testing::TempFolderTest {
  protected:
    // The tests below set the variable as they go; the caller's value comes back at the end.
    const kestrane::testing::EnvGuard registry_{"KESTRANE_REGISTRY"};
};

TEST_F(RegistryFile, LoadsTheFileTheEnvironmentNames) {
    const std::string file = dir_ + "r.reg";
    std::ofstream(file) << "REGEDIT4\n[HKLM\\A]\n\"v\"=\"1\"\n";
    ::setenv("KESTRANE_REGISTRY", file.c_str(), 1);
    EXPECT_EQ(kp::Registry::DefaultPath(), file);
    EXPECT_EQ(kp::Registry::Load().OpenKey(kp::RegRoot::LocalMachine, "A")->ReadString("v"), "1");

    // A missing file is an empty registry; an empty variable falls back to the system file.
    ::setenv("KESTRANE_REGISTRY", (dir_ + "none.reg").c_str(), 1);
    EXPECT_FALSE(kp::Registry::Load().KeyExists(kp::RegRoot::LocalMachine, "A"));
    EXPECT_THROW(kp::Registry::LoadFile(dir_ + "none.reg"), kp::ERegistryError);
    ::setenv("KESTRANE_REGISTRY", "", 1);
    EXPECT_EQ(kp::Registry::DefaultPath(), "/etc/kestrane/registry.reg");
}

}  // namespace
