#include "product/install_path.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/env_guard.h"
#include "common/temp_folder.h"
#include "platform/registry.h"

namespace kp = kestrane::platform;
using kestrane::product::GetInstallPath;

namespace {

std::string PathFrom(const std::string& valueLine, const std::string& key = "Software\\Torlinex\\Lumo") {
    const std::string text = "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\n" + valueLine + "\n";
    return GetInstallPath(kp::Registry::Parse(text), key);
}

TEST(GetInstallPath, TrimsAndEndsWithADelimiter) {
    struct Case {
        std::string line, want;
    };
    const Case cases[] = {
        {"\"AppInstallPath\"=\"  /opt/lumo \"", "/opt/lumo/"},
        {"\"AppInstallPath\"=\"/opt/lumo/\"", "/opt/lumo/"},
        {"\"AppInstallPath\"=hex(1):09,2f,61,0d,0a,00", "/a/"},  // real control characters
        {"\"appinstallpath\"=hex(2):2f,62,00", "/b/"},
        {"\"AppInstallPath\"=\"   \"", ""},
        {"\"Other\"=\"/x\"", ""},
        {"\"AppInstallPath\"=dword:00000001", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(PathFrom(c.line), c.want);
    }
}

TEST(GetInstallPath, KeyIsOpenedNotCreated) {
    const std::string line = "\"AppInstallPath\"=\"/opt/lumo\"";
    EXPECT_EQ(PathFrom(line, "\\SOFTWARE\\torlinex\\LUMO\\"), "/opt/lumo/");
    EXPECT_EQ(PathFrom(line, "Software\\Torlinex\\Other"), "");
    const kp::Registry reg = kp::Registry::Parse("");
    EXPECT_EQ(GetInstallPath(reg, "Software\\Torlinex\\Other"), "");
    EXPECT_FALSE(reg.KeyExists(kp::RegRoot::LocalMachine, "Software\\Torlinex\\Other"));
}

TEST(GetInstallPath, ReadsTheRegistryFileAndSurvivesABadOne) {
    const kestrane::testing::TempFolder dir;
    const std::string file = dir.File("registry.reg");
    const kestrane::testing::EnvGuard registry("KESTRANE_REGISTRY", file);

    std::ofstream(file)
        << "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Torlinex\\Lumo]\n\"AppInstallPath\"=\"/srv/lumo\"\n";
    EXPECT_EQ(GetInstallPath("Software\\Torlinex\\Lumo"), "/srv/lumo/");
    std::ofstream(file) << "not a registry file\n";
    EXPECT_EQ(GetInstallPath("Software\\Torlinex\\Lumo"), "");
    std::filesystem::remove(file);
    EXPECT_EQ(GetInstallPath("Software\\Torlinex\\Lumo"), "");
}

}  // namespace
