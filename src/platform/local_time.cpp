#include "platform/local_time.h"

namespace kestrane::platform {

std::optional<LocalTimeFields> LocalTime(std::time_t t) {
    std::tm local{};
    if (::localtime_r(&t, &local) == nullptr) return std::nullopt;
    return LocalTimeFields{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                           local.tm_hour,        local.tm_min,     local.tm_sec};
}

LocalTimeFields LocalTimeNow() {
    // Only a clock set past the calendar's range has no local time; it counts as the epoch.
    return LocalTime(std::time(nullptr)).value_or(LocalTimeFields{});
}

}  // namespace kestrane::platform
