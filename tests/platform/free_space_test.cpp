#include "platform/free_space.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <filesystem>

#include "common/expect_error.h"
#include "common/temp_folder.h"

namespace fs = std::filesystem;
using namespace kestrane::platform;
using kestrane::testing::Caught;

namespace {

class FreeSpace : public kestrane::testing::TempFolderTest {};

TEST(ParseMemAvailable, ReadsTheKernelsLineAndRefusesAnythingElse) {
    struct Case {
        const char* text;
        std::optional<std::uint64_t> bytes;
    };
    const Case cases[] = {
        {"MemTotal:       16000000 kB\nMemFree:  10 kB\nMemAvailable:    2048 kB\nBuffers: 1 kB\n",
         2048u * 1024},
        {"MemAvailable: 0 kB", 0u},
        {"MemAvailable:\t77\r\n", 77u},
        {"MemTotal: 100 kB\nMemFree: 50 kB\n", std::nullopt},
        {"MemAvailable: kB\n", std::nullopt},
        {"MemAvailable: 12 MB\n", std::nullopt},
        {"MemAvailable: -5 kB\n", std::nullopt},
        {"MemAvailable: 9999999999999999999999 kB\n", std::nullopt},
        {" MemAvailable: 5 kB\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseMemAvailable(c.text), c.bytes) << c.text;
}

TEST_F(FreeSpace, MemoryFromTheFileOrTheReasonItCannotBeRead) {
    EXPECT_EQ(FreeMemoryBytes(Put("meminfo", "MemFree: 1 kB\nMemAvailable: 3 kB\n")), 3072u);
    EXPECT_THROW(FreeMemoryBytes(Put("old", "MemFree: 1 kB\n")), ESystemFactError);
    const auto e = Caught<ESystemFactError>([&] { FreeMemoryBytes(dir_ + "missing"); });
    ASSERT_TRUE(e);
    EXPECT_NE(std::string(e->what()).find(dir_ + "missing"), std::string::npos);
    EXPECT_GT(FreeMemoryBytes(), 0u);
}

TEST_F(FreeSpace, AFolderNotYetMadeIsMeasuredAtItsExistingParent) {
    const std::string missing = dir_ + "not/yet/made";
    struct statvfs st {};
    ASSERT_EQ(::statvfs(dir_.c_str(), &st), 0);
    const std::uint64_t expected = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
    // Other programs write meanwhile; the figure is the folder's own, within a little.
    const auto near = [&](std::uint64_t got) {
        return got + (64u << 20) > expected && got < expected + (64u << 20);
    };
    EXPECT_TRUE(near(FreeDiskBytes(missing)));
    EXPECT_EQ(MountPointOf(missing), MountPointOf(dir_));
}

TEST_F(FreeSpace, TheMountPointIsTheTopOfTheFolderFileSystem) {
    for (const std::string& folder : {dir_, std::string("/"), std::string("/proc/self")}) {
        const std::string mount = MountPointOf(folder);
        const fs::path real = fs::canonical(folder);
        EXPECT_EQ(real.string().rfind(mount, 0), 0u) << folder << " in " << mount;
        struct stat here {
        }, top{}, above{};
        ASSERT_EQ(::stat(real.c_str(), &here), 0);
        ASSERT_EQ(::stat(mount.c_str(), &top), 0);
        EXPECT_EQ(here.st_dev, top.st_dev) << folder;
        if (mount != "/") {
            ASSERT_EQ(::stat(fs::path(mount).parent_path().c_str(), &above), 0);
            EXPECT_NE(above.st_dev, top.st_dev) << folder;
        }
    }
    EXPECT_EQ(MountPointOf("/proc/self"), "/proc");
}

}  // namespace
