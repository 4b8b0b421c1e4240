#include "patch/upgrade_log.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/env_guard.h"
#include "common/temp_folder.h"
#include "support/codepage.h"

namespace fs = std::filesystem;
using namespace kestrane::patch;
using kestrane::support::Cp936ToUtf8;

namespace {

constexpr std::time_t kStamp = 1796893984;  // 2026-12-10 09:13:04 UTC

class UpgradeLogTest : public kestrane::testing::TempFolderTest {
  protected:
    void SetUp() override {
        tz_.emplace("TZ", "UTC");
        ::tzset();
        TempFolderTest::SetUp();
    }
    void TearDown() override {
        TempFolderTest::TearDown();
        tz_.reset();
        ::tzset();
    }
    void WriteAt(const std::string& folder, std::time_t t, const std::string& text) {
        TLogManager log(folder);
        log.Now = [t] { return t; };
        ASSERT_TRUE(log.Write(text));
    }
    // The file decoded from code page 936; decoding fails the test if the bytes are not.
    static std::string LogText(const std::string& folder) {
        std::ifstream in(folder + "PatchLog.log", std::ios::binary);
        return Cp936ToUtf8(std::string(std::istreambuf_iterator<char>(in), {}));
    }
    std::optional<kestrane::testing::EnvGuard> tz_;
};

TEST_F(UpgradeLogTest, FirstRunCreatesFolderAndSection) {
    const std::string folder = dir_ + "Lumo/App";
    WriteAt(folder, kStamp, "程序文件“a.exe”升级【成功】\r\n提醒：重启\r\n");
    EXPECT_EQ(LogText(folder + "/"),
              "[升级时间：2026-12-10 "
              "09:13:04]\r\n详细信息=\r\n程序文件“a.exe”升级【成功】\r\n提醒：重启\r\n\r\n\r\n");
    EXPECT_EQ(TLogManager(folder).FileName(), folder + "/PatchLog.log");
}

TEST_F(UpgradeLogTest, LaterRunAppendsAndNormalisesEarlierLines) {
    WriteAt(dir_, kStamp, "  备注 = x\r\n; 注释\r\n\r\n   结果【成功】  \r\n");
    WriteAt(dir_, kStamp + 1, "second\r\n");
    EXPECT_EQ(LogText(dir_),
              "[升级时间：2026-12-10 09:13:04]\r\n详细信息=\r\n备注=x\r\n结果【成功】\r\n\r\n"
              "[升级时间：2026-12-10 09:13:05]\r\n详细信息=\r\nsecond\r\n\r\n\r\n");
}

TEST_F(UpgradeLogTest, SameSecondReplacesTheKeyOfThatSection) {
    WriteAt(dir_, kStamp, "first\r\n");
    WriteAt(dir_, kStamp, "again\r\n");
    // The earlier run's lines are not keys, so they stay below the new value.
    EXPECT_EQ(LogText(dir_), "[升级时间：2026-12-10 09:13:04]\r\n详细信息=\r\nagain\r\n\r\nfirst\r\n\r\n");
}

TEST_F(UpgradeLogTest, TextOutsideTheCodePageNeverLosesTheLog) {
    // An earlier run's line that is not valid code page 936 (a lead byte before a blank, a lone 0xFF).
    const std::string earlier =
        kestrane::support::Utf8ToCp936("[升级时间：2026-12-10 09:13:03]\r\n详细信息=\r\n旧") + "\x81 \xFF" +
        kestrane::support::Utf8ToCp936("行\r\n\r\n");
    std::ofstream(dir_ + "PatchLog.log", std::ios::binary) << earlier;
    const std::string before = Slurp(dir_ + "PatchLog.log");
    // Bytes that are not UTF-8, and a character the code page lacks, are written as "?".
    TLogManager log(dir_);
    log.Now = [] { return kStamp; };
    ASSERT_TRUE(log.Write("文件\xFF\xFE名 😀\r\n"));
    const std::string after = Slurp(dir_ + "PatchLog.log");
    ASSERT_EQ(after.substr(0, before.size()), before);  // the old lines keep their bytes
    EXPECT_EQ(Cp936ToUtf8(after.substr(before.size())),
              "[升级时间：2026-12-10 09:13:04]\r\n详细信息=\r\n文件??名 ?\r\n\r\n\r\n");
    EXPECT_TRUE(WriteUpgradeLog(dir_, "\xC3\r\n"));
}

TEST_F(UpgradeLogTest, FailuresGiveFalse) {
    std::ofstream(dir_ + "file") << "x";
    EXPECT_FALSE(WriteUpgradeLog(dir_ + "file", "text\r\n"));
    EXPECT_FALSE(WriteUpgradeLog(dir_ + "file/below", "text\r\n"));
    TLogManager log(dir_ + "file");
    EXPECT_ANY_THROW(log.Write("text\r\n"));
    EXPECT_TRUE(WriteUpgradeLog(dir_ + "fresh", "ok\r\n"));
    EXPECT_TRUE(fs::exists(dir_ + "fresh/PatchLog.log"));
}

TEST_F(UpgradeLogTest, StampIsLocalTime) {
    EXPECT_EQ(UpgradeLogTimeStamp(kStamp), "2026-12-10 09:13:04");
    ::setenv("TZ", "Asia/Shanghai", 1);  // TearDown puts the caller's zone back
    ::tzset();
    EXPECT_EQ(UpgradeLogTimeStamp(kStamp), "2026-12-10 17:13:04");
}

}  // namespace
