// The wall-clock time as records give it, for a reader who compares them
// with other records later.
#pragma once

#include <chrono>
#include <string>

namespace corvane::shell {

using WallTime = std::chrono::system_clock::time_point;

// RFC 3339 in UTC with milliseconds: 2026-12-07T23:57:30.123Z.
std::string Rfc3339Utc(WallTime time);

// The local date and time with the offset from UTC: 2026-12-08 00:57:30 +0100.
std::string LocalDateTime(WallTime time);

// The local time of day with milliseconds: 00:57:30.123.
std::string LocalTimeOfDay(WallTime time);

}  // namespace corvane::shell
