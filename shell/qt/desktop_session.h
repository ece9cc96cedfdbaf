// Whether there is a desktop to open the window on. Without one, Qt aborts
// with a hint to reinstall the program; the window programs say what is
// wrong instead, before Qt starts.
#pragma once

#include <cstdlib>
#include <string_view>

namespace corvane::shell {

inline constexpr std::string_view NoDesktopSession =
    "needs a desktop session, and there is none here (no DISPLAY or WAYLAND_DISPLAY); "
    "corvane-flash does the same update in a terminal";

inline bool HasDesktopSession() {
  const auto value = [](const char* name) {
    const char* text = std::getenv(name);
    return std::string_view(text == nullptr ? "" : text);
  };
  const std::string_view platform = value("QT_QPA_PLATFORM");
  // A platform of its own (offscreen, vnc, ...) needs no desktop.
  if (!platform.empty() && !platform.starts_with("xcb") && !platform.starts_with("wayland")) {
    return true;
  }
  return !value("DISPLAY").empty() || !value("WAYLAND_DISPLAY").empty();
}

}  // namespace corvane::shell
