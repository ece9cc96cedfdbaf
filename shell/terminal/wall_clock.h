// The wall-clock time as records give it, for a reader who compares them
// with other records later.
#pragma once

#include <chrono>
#include <string>

namespace corvane::shell {

using WallTime = std::chrono::system_clock::time_point;

// RFC 3339 in UTC with milliseconds: 2026-12-07T23:57:30.123Z.
std::string Rfc3339Utc(WallTime time);

}  // namespace corvane::shell
