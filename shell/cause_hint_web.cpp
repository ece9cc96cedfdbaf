#include <emscripten.h>

#include "shell/cause_hint.h"

namespace corvane::shell {
namespace {

// clang-format off
EM_JS(int, PageSystem, (), {
  return Module.page.system();
});
// clang-format on

bool OnWindows() {
  return PageSystem() == 1;
}

bool OnLinux() {
  return PageSystem() == 2;
}

std::string PermissionHint() {
  // On Windows a browser reaches only devices on Windows' own WinUSB driver.
  if (OnWindows()) {
    return "The remote is plugged in, but its own USB driver holds it, and a browser reaches "
           "only devices on Windows' own WinUSB driver. Update it with the Windows program "
           "instead: corvane-updater.exe, from corvane-updater-" CORVANE_VERSION
           "-win64.msi or the zip beside it.";
  }
  if (OnLinux()) {
    const std::string rule(UdevRuleName);
    return "The remote is plugged in, but this computer does not let the browser open it: the "
           "udev rule " +
           rule +
           ", which lets the user at the seat open the remote, is not installed. Install the "
           "package corvane-updater (corvane-updater_" CORVANE_VERSION
           "_amd64.deb), which brings it, or copy packaging/" +
           rule +
           " from the sources to /etc/udev/rules.d; then unplug the remote, plug it in again "
           "and press Start again.";
  }
  return "The remote is plugged in, but this computer does not let the browser open it. Unplug "
         "the remote, plug it in again and press Start again.";
}

}  // namespace

std::string CauseHint(link::CauseKind kind) {
  switch (kind) {
    case link::CauseKind::PermissionDenied:
      return PermissionHint();
    case link::CauseKind::HeldByAnotherProgram:
      return "The remote is plugged in, but another program or browser tab holds it. Close "
             "that, then press Start again.";
    default:
      return {};
  }
}

}  // namespace corvane::shell
