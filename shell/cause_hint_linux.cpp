#include <systemd/sd-login.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>

#include "shell/cause_hint.h"

namespace corvane::shell {
namespace {

// Where udev reads rules from: the package's place first, then the
// administrator's.
constexpr std::array<std::string_view, 3> RuleFolders{"/usr/lib/udev/rules.d", "/lib/udev/rules.d",
                                                      "/etc/udev/rules.d"};

std::string InstalledRule() {
  for (const std::string_view folder : RuleFolders) {
    const std::filesystem::path rule = std::filesystem::path(folder) / UdevRuleName;
    std::error_code ignored;
    if (std::filesystem::exists(rule, ignored)) {
      return rule.string();
    }
  }
  return {};
}

// Whether this process belongs to a login at a seat (a desktop), rather
// than to SSH, cron or a service.
bool AtASeat() {
  char* session = nullptr;
  if (sd_pid_get_session(getpid(), &session) < 0) {
    return false;
  }
  char* seat = nullptr;
  const bool seated = sd_session_get_seat(session, &seat) >= 0;
  std::free(seat);
  std::free(session);
  return seated;
}

std::string PermissionHint() {
  std::string hint = "The remote is plugged in, but this user may not open it. ";
  if (!AtASeat()) {
    return hint +
           "This login has no seat (SSH, cron, a service), and the udev rule lets only the "
           "user at the seat open the remote. To let a group open it instead, put this line "
           "into /etc/udev/rules.d/71-corvane-remote-group.rules: SUBSYSTEM==\"usb\", "
           "ATTRS{idVendor}==\"ec4b\", ATTRS{idProduct}==\"7a10\", GROUP=\"plugdev\", "
           "MODE=\"0660\" and run 'sudo udevadm control --reload-rules' and 'sudo udevadm "
           "trigger', add this user to the group plugdev, log in again, then try the update "
           "again.";
  }
  const std::string rule = InstalledRule();
  if (rule.empty()) {
    return hint + "The udev rule " + std::string(UdevRuleName) +
           " that lets the user at the seat open it is not installed: install the package "
           "corvane-updater, which brings it, or copy packaging/" +
           std::string(UdevRuleName) +
           " from the sources to /etc/udev/rules.d and unplug the remote and plug it in "
           "again, then try the update again.";
  }
  return hint + "The udev rule is installed (" + rule +
         "), but it has not reached this remote yet: unplug the remote and plug it in again, "
         "then try the update again.";
}

}  // namespace

std::string CauseHint(link::CauseKind kind) {
  switch (kind) {
    case link::CauseKind::PermissionDenied:
      return PermissionHint();
    case link::CauseKind::HeldByAnotherProgram:
      return "The remote is plugged in, but another program holds it. Close that program, then "
             "try the update again.";
    default:
      return {};
  }
}

}  // namespace corvane::shell
