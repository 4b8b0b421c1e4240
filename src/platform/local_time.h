// The machine's wall-clock time: a moment as the calendar of the machine's time zone (TZ) shows it.
#pragma once

#include <ctime>
#include <optional>

namespace kestrane::platform {

struct LocalTimeFields {
    int year = 1970;  // e.g. 2026
    int month = 1;    // 1..12
    int day = 1;      // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;  // 0..60 (a leap second)

    bool operator==(const LocalTimeFields&) const = default;
};

// `t` in the machine's time zone; empty when the calendar cannot hold it (a year past int's range).
std::optional<LocalTimeFields> LocalTime(std::time_t t);
// Now in the machine's time zone.
LocalTimeFields LocalTimeNow();

}  // namespace kestrane::platform
