#include "platform/local_time.h"

#include <gtest/gtest.h>

#include <limits>
#include <optional>
#include <string>

#include "common/env_guard.h"

using namespace kestrane::platform;

namespace {

// Puts the caller's time zone back after a test that sets TZ.
class LocalTimeTest : public ::testing::Test {
  protected:
    void SetZone(const char* zone) {
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    void TearDown() override {
        tz_.reset();
        ::tzset();
    }

  private:
    std::optional<kestrane::testing::EnvGuard> tz_{std::in_place, "TZ"};
};

TEST_F(LocalTimeTest, AMomentAsTheZonesCalendarShowsIt) {
    const struct {
        const char* zone;
        std::time_t t;
        LocalTimeFields local;
    } cases[] = {
        {"UTC", 0, {1970, 1, 1, 0, 0, 0}},
        {"UTC", 1796893984, {2026, 12, 10, 9, 13, 4}},
        {"Asia/Shanghai", 1796893984, {2026, 12, 10, 17, 13, 4}},
        {"Asia/Shanghai", 1767225599, {2026, 1, 1, 7, 59, 59}},  // the zone is past New Year already
        {"America/New_York", 1709251199, {2024, 2, 29, 18, 59, 59}},
        {"America/New_York", 1720000000, {2024, 7, 3, 5, 46, 40}},  // summer time
    };
    for (const auto& c : cases) {
        SetZone(c.zone);
        EXPECT_EQ(LocalTime(c.t), c.local) << c.zone << " " << c.t;
    }
}

TEST_F(LocalTimeTest, AMomentPastTheCalendarHasNoLocalTime) {
    SetZone("UTC");
    EXPECT_EQ(LocalTime(std::numeric_limits<std::time_t>::max()), std::nullopt);
}

TEST_F(LocalTimeTest, NowIsTheLocalTimeOfTheClock) {
    SetZone("Asia/Shanghai");
    const std::time_t before = std::time(nullptr);
    const LocalTimeFields now = LocalTimeNow();
    const std::time_t after = std::time(nullptr);
    bool seen = false;
    for (std::time_t t = before; t <= after; ++t) seen = seen || LocalTime(t) == now;
    EXPECT_TRUE(seen);
}

}  // namespace
