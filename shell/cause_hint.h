// What a person can do when the remote was there but could not be opened:
// the text the windows show in a box and corvane-flash prints. On Linux it
// depends on the situation: whether the udev rule is installed, and whether
// this login has a seat, the only kind the rule covers.
#pragma once

#include <string>
#include <string_view>

#include "link/cause.h"
#include "protocol/outcome.h"

namespace corvane::shell {

// The udev rule that lets the user at the seat open the remote on Linux,
// which the package installs.
inline constexpr std::string_view UdevRuleName = "70-corvane-remote.rules";

// The title of the window's box.
inline constexpr std::string_view CauseTitle = "The remote could not be opened";

// Empty for a cause the person cannot act on.
std::string CauseHint(link::CauseKind kind);

// What the window's box says after a run: the hint, where the remote was
// there but could not be opened and the person can act on it; else empty,
// and no box shows.
inline std::string CauseBoxHint(const protocol::RunResult& result) {
  if (result.outcome != protocol::Outcome::NoRemote ||
      !link::ThereButNotOpened(result.cause.kind)) {
    return {};
  }
  return CauseHint(result.cause.kind);
}

}  // namespace corvane::shell
