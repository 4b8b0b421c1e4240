#include "platform/autostart.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>

#include "common/env_guard.h"
#include "common/temp_folder.h"

namespace fs = std::filesystem;
using namespace kestrane::platform;

namespace {

using kestrane::testing::EnvGuard;

class AutostartTest : public kestrane::testing::TempFolderTest {};

TEST_F(AutostartTest, EntryIsWrittenAndReplaced) {
    EnvGuard config("XDG_CONFIG_HOME", dir_ + "cfg");
    EXPECT_EQ(AutostartEntryPath(), dir_ + "cfg/autostart/LumoUpdateClient.desktop");
    EXPECT_EQ(RegisteredAutorun(), std::nullopt);
    ASSERT_TRUE(RegisterAutorun("/opt/Lumo/Fenwupd.exe"));
    EXPECT_EQ(Slurp(AutostartEntryPath()),
              "[Desktop Entry]\nType=Application\nName=LumoUpdateClient\nExec=\"/opt/Lumo/Fenwupd.exe\"\n"
              "X-GNOME-Autostart-enabled=true\n");
    ASSERT_TRUE(RegisterAutorun("/opt/Other/Fenwupd.exe"));
    EXPECT_EQ(RegisteredAutorun(), "/opt/Other/Fenwupd.exe");
}

TEST_F(AutostartTest, FolderFromHomeWhenConfigHomeIsUnsetOrRelative) {
    EnvGuard home("HOME", dir_ + "home");
    for (const std::optional<std::string>& value :
         {std::optional<std::string>(), std::optional<std::string>(""),
          std::optional<std::string>("relative/cfg")}) {
        EnvGuard config("XDG_CONFIG_HOME", value);
        EXPECT_EQ(AutostartFolder(), dir_ + "home/.config/autostart/");
    }
}

TEST_F(AutostartTest, UnwritableFolderWritesNothing) {
    std::ofstream(dir_ + "file") << "x";
    EnvGuard config("XDG_CONFIG_HOME", dir_ + "file");
    EXPECT_FALSE(RegisterAutorun("/opt/Lumo/Fenwupd.exe"));
    EXPECT_EQ(RegisteredAutorun(), std::nullopt);
}

TEST(DesktopExec, QuotingRoundTrips) {
    struct Case {
        std::string program, value;
    };
    const Case cases[] = {
        {"/opt/Lumo/Fenwupd.exe", "\"/opt/Lumo/Fenwupd.exe\""},
        {"/opt/my app/x", "\"/opt/my app/x\""},
        {"/a\"b", "\"/a\\\\\"b\""},
        {"/cost$5", "\"/cost\\\\$5\""},
        {"/100%", "\"/100%%\""},
        {"/back\\slash", "\"/back\\\\\\\\slash\""},
        {"/tick`x", "\"/tick\\\\`x\""},
        {"/line\nbreak", "\"/line\\nbreak\""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DesktopExecValue(c.program), c.value) << c.program;
        EXPECT_EQ(ParseDesktopExecValue(c.value), c.program) << c.value;
    }
    EXPECT_EQ(ParseDesktopExecValue("/usr/bin/tool --flag"), "/usr/bin/tool");
    EXPECT_EQ(ParseDesktopExecValue("/usr/bin/a\\sb"), "/usr/bin/a");
}

TEST(DesktopExec, MalformedValuesGiveNone) {
    for (const std::string value :
         {"", "   ", "\"unterminated", "bad\\escape", "trailing\\", "\"x\\", "50%", "\"50%x\"", "\"\""}) {
        EXPECT_EQ(ParseDesktopExecValue(value), std::nullopt) << value;
    }
}

}  // namespace
