// What a person can do when the remote was there but could not be opened:
// the text the windows show in a box and corvane-flash prints.
#pragma once

#include <string_view>

#include "link/cause.h"

namespace corvane::shell {

// The title of the window's box.
inline constexpr std::string_view CauseTitle = "The remote could not be opened";

// Empty for a cause the person cannot act on.
constexpr std::string_view CauseHint(link::CauseKind kind) {
  switch (kind) {
#ifdef _WIN32
    case link::CauseKind::PermissionDenied:
      return "The remote is plugged in, but Windows refused to open its pipe files. Check that "
             "the remote's USB driver is installed and that you may use it, then try the update "
             "again.";
    case link::CauseKind::HeldByAnotherProgram:
      return "The remote is plugged in, but another program holds its pipe files. Close that "
             "program, then try the update again.";
#else
    case link::CauseKind::PermissionDenied:
      return "The remote is plugged in, but this user may not open it. Install the udev rule "
             "70-corvane-remote.rules (the package puts it in /usr/lib/udev/rules.d, and from the "
             "sources copy packaging/70-corvane-remote.rules to /etc/udev/rules.d), unplug the "
             "remote and plug it in again, then try the update again.";
    case link::CauseKind::HeldByAnotherProgram:
      return "The remote is plugged in, but another program holds it. Close that program, then "
             "try the update again.";
#endif
    default:
      return {};
  }
}

}  // namespace corvane::shell
