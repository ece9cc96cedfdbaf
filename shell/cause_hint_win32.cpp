#include "shell/cause_hint.h"

namespace corvane::shell {

std::string CauseHint(link::CauseKind kind) {
  switch (kind) {
    case link::CauseKind::PermissionDenied:
      return "The remote is plugged in, but Windows refused to open its pipe files. Check that "
             "the remote's USB driver is installed and that you may use it, then try the update "
             "again.";
    case link::CauseKind::HeldByAnotherProgram:
      return "The remote is plugged in, but another program holds its pipe files. Close that "
             "program, then try the update again.";
    case link::CauseKind::DriverMissing:
      return "The remote is plugged in, but its USB driver is not installed: the updater "
             "reaches the remote through that driver. Install the driver that comes with the "
             "remote, unplug the remote and plug it in again, then try the update again.";
    default:
      return {};
  }
}

}  // namespace corvane::shell
