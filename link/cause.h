// Why the system refused or ended something, carried with a link's results
// so that a program can tell the person what happened and what to do.
#pragma once

#include <string>

namespace corvane::link {

enum class CauseKind {
  None,                  // nothing went wrong, or the system gave no reason
  PermissionDenied,      // the remote is there, but this user may not open it
  HeldByAnotherProgram,  // the remote is there, but another program has it
  DriverMissing,         // the remote is plugged in, but its driver is not installed
  DeviceGone,            // the remote went away
  Stopped,               // the link was asked to stop
  SystemError,           // another error; code and text say which
};

struct Cause {
  CauseKind kind = CauseKind::None;
  int code = 0;      // the system's error code, where it gave one
  std::string text;  // and its text

  friend bool operator==(const Cause&, const Cause&) = default;
};

// The remote is there but could not be opened: the person can act on it.
constexpr bool ThereButNotOpened(CauseKind kind) {
  return kind == CauseKind::PermissionDenied || kind == CauseKind::HeldByAnotherProgram ||
         kind == CauseKind::DriverMissing;
}

}  // namespace corvane::link
