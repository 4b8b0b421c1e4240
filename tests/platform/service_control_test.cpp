#include "platform/service_control.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "common/env_guard.h"
#include "common/temp_folder.h"

namespace fs = std::filesystem;
using namespace kestrane::platform;
using kestrane::testing::EnvGuard;

namespace {

// A systemctl of our own first on PATH: "load" holds the unit's LoadState, each status query takes the
// next line of "states" (the last one stays), "refuse" makes start and stop fail, "nosystemd" every
// call; every call is written to "calls".
const char* kFakeSystemctl = R"sh(#!/bin/sh
d=$(dirname "$0")
echo "$*" >> "$d/calls"
case "$*" in
  *LoadState*) [ -e "$d/nosystemd" ] && exit 1; cat "$d/load" ;;
  *ActiveState*)
    head -n 1 "$d/states"
    if [ "$(wc -l < "$d/states")" -gt 1 ]; then sed -i 1d "$d/states"; fi ;;
  start*|stop*) [ ! -e "$d/refuse" ] ;;
  *) exit 1 ;;
esac
)sh";

class ServiceTest : public kestrane::testing::TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        const std::string script = Put("bin/systemctl", kFakeSystemctl);
        fs::permissions(script, fs::perms::owner_all);
        path_.emplace("PATH", dir_ + "bin:/usr/bin:/bin");
        Put("bin/load", "loaded\n");
    }
    void TearDown() override {
        path_.reset();
        TempFolderTest::TearDown();
    }
    void States(const std::string& lines) const { Put("bin/states", lines); }
    std::string Calls() const { return Slurp(dir_ + "bin/calls"); }

    // A clock that moves only when slept on.
    std::int64_t now_ = 0;
    std::vector<int> sleeps_;
    ServiceClock clock_{[this] { return now_; },
                        [this](int ms) {
                            sleeps_.push_back(ms);
                            now_ += ms;
                        }};
    std::optional<EnvGuard> path_;
};

TEST_F(ServiceTest, StopWaitsWithTheWaitHintUntilStopped) {
    States("active\ndeactivating\ndeactivating\ninactive\n");
    EXPECT_TRUE(ServiceCommand("LumoSvrWatcher", ServiceCommandKind::Stop, clock_));
    EXPECT_EQ(sleeps_, (std::vector<int>{1000, 1000, 1000}));
    EXPECT_NE(Calls().find("stop --no-block --no-ask-password LumoSvrWatcher.service\n"), std::string::npos);
}

TEST_F(ServiceTest, StopGivesUpAtTheFirstQueryAfterThirtySeconds) {
    States("deactivating\n");
    EXPECT_FALSE(StopWatcher(clock_));
    EXPECT_EQ(now_, 31000);
}

TEST_F(ServiceTest, ARefusedStopIsFalseEvenWhenTheServiceStops) {
    States("inactive\n");
    Put("bin/refuse", "");
    EXPECT_FALSE(StopWatcher(clock_));
    EXPECT_TRUE(sleeps_.empty());
}

TEST_F(ServiceTest, StartSleepsTenSecondsPerQueryAndSucceedsOnceRunning) {
    // The first query is ServiceCommand's own: not running yet.
    States("inactive\nactivating\nactive\n");
    EXPECT_TRUE(StartWatcher(clock_));
    EXPECT_EQ(sleeps_, (std::vector<int>{10000, 10000}));
    EXPECT_NE(Calls().find("start --no-block --no-ask-password LumoSvrWatcher.service\n"), std::string::npos);
}

TEST_F(ServiceTest, StartGivesUpAfterThirtySecondsAndARunningServiceIsNotStarted) {
    States("activating\n");
    EXPECT_FALSE(StartWatcher(clock_));
    EXPECT_EQ(now_, 40000);

    fs::remove(dir_ + "bin/calls");
    sleeps_.clear();
    States("active\n");
    EXPECT_TRUE(StartWatcher(clock_));
    EXPECT_TRUE(sleeps_.empty());
    EXPECT_EQ(Calls().find("start"), std::string::npos);
    EXPECT_TRUE(IsWatcherRunning());
}

TEST_F(ServiceTest, AFailedQueryEndsTheWait) {
    States("active\nsomething new\n");
    EXPECT_FALSE(StopWatcher(clock_));
    EXPECT_EQ(sleeps_.size(), 1u);
}

TEST_F(ServiceTest, NotInstalledOrNoSystemdIsNotRunningAndNothingIsAttempted) {
    States("active\n");
    for (const char* load : {"not-found\n", ""}) {
        Put("bin/load", load);
        EXPECT_FALSE(IsWatcherRunning()) << load;
        EXPECT_FALSE(StopWatcher(clock_)) << load;
        EXPECT_FALSE(StartWatcher(clock_)) << load;
    }
    Put("bin/load", "loaded\n");
    Put("bin/nosystemd", "");
    EXPECT_FALSE(IsWatcherRunning());
    EXPECT_FALSE(StopWatcher(clock_));
    EXPECT_EQ(Calls().find("start"), std::string::npos);
    EXPECT_EQ(Calls().find("stop"), std::string::npos);

    EnvGuard noSystemctl("PATH", dir_);
    EXPECT_FALSE(IsWatcherRunning());
    EXPECT_FALSE(OpenService("LumoSvrWatcher"));
    EXPECT_TRUE(sleeps_.empty());
}

}  // namespace
