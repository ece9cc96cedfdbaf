#include "shell/cause_hint.h"

namespace corvane::shell {

std::string CauseHint(link::CauseKind kind) {
  switch (kind) {
    case link::CauseKind::PermissionDenied:
      return "The remote is plugged in, but Windows does not let this user use it. Unplug the "
             "remote and plug it in again; if that does not help, ask whoever looks after this "
             "computer to reinstall the remote's USB driver, then try the update again.";
    case link::CauseKind::HeldByAnotherProgram:
      return "The remote is plugged in, but another program is using it. Close that program "
             "(another updater, or a tool for the remote), then try the update again.";
    case link::CauseKind::DriverMissing:
      return "The remote is plugged in, but its USB driver is not installed: the updater "
             "reaches the remote through that driver. Install the driver that comes with the "
             "remote, unplug the remote and plug it in again, then try the update again.";
    default:
      return {};
  }
}

}  // namespace corvane::shell
