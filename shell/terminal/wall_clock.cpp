#include "shell/terminal/wall_clock.h"

#include <cstdio>
#include <cstdlib>
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

std::tm Local(std::time_t seconds) {
  std::tm parts{};
#ifdef _WIN32
  localtime_s(&parts, &seconds);
#else
  localtime_r(&seconds, &parts);
#endif
  return parts;
}

// Local time's lead over UTC, in minutes: the two calendars' difference,
// which is at most a day either way.
long OffsetMinutes(const std::tm& local, const std::tm& utc) {
  long days = local.tm_yday - utc.tm_yday;
  if (local.tm_year != utc.tm_year) {
    days = local.tm_year > utc.tm_year ? 1 : -1;  // across New Year
  }
  return (days * 24 + local.tm_hour - utc.tm_hour) * 60 + local.tm_min - utc.tm_min;
}

int Milliseconds(WallTime time) {
  return static_cast<int>(
      std::chrono::time_point_cast<std::chrono::milliseconds>(time).time_since_epoch().count() %
      1000);
}

}  // namespace

std::string Rfc3339Utc(WallTime time) {
  const std::tm parts = Utc(std::chrono::system_clock::to_time_t(time));
  char text[80];  // room for any int the fields hold
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", parts.tm_year + 1900,
                parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec,
                Milliseconds(time));
  return text;
}

std::string LocalDateTime(WallTime time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  const std::tm parts = Local(seconds);
  const long offset = OffsetMinutes(parts, Utc(seconds));
  char text[80];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d %c%02ld%02ld",
                parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min,
                parts.tm_sec, offset < 0 ? '-' : '+', std::labs(offset) / 60,
                std::labs(offset) % 60);
  return text;
}

std::string LocalTimeOfDay(WallTime time) {
  const std::tm parts = Local(std::chrono::system_clock::to_time_t(time));
  char text[40];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", parts.tm_hour, parts.tm_min, parts.tm_sec,
                Milliseconds(time));
  return text;
}

}  // namespace corvane::shell
