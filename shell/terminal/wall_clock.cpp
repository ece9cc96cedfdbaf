#include "shell/terminal/wall_clock.h"

#include <cstdio>
#include <ctime>

namespace corvane::shell {
namespace {

std::tm Utc(std::time_t seconds) {
  std::tm parts{};
#ifdef _WIN32
  gmtime_s(&parts, &seconds);
#else
  gmtime_r(&seconds, &parts);
#endif
  return parts;
}

}  // namespace

std::string Rfc3339Utc(WallTime time) {
  const auto ms = std::chrono::time_point_cast<std::chrono::milliseconds>(time);
  const std::tm parts = Utc(std::chrono::system_clock::to_time_t(ms));
  char text[80];  // room for any int the fields hold
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                static_cast<int>(ms.time_since_epoch().count() % 1000));
  return text;
}

}  // namespace corvane::shell
