// The exit status each outcome of a run ends a program with, the same for
// corvane-flash and the windows, for the scripts, launchers and people who
// look at it; both runs that end in Error #003 share one.
#pragma once

#include "protocol/outcome.h"

namespace corvane::shell {

// A switch without a default: a new outcome without a status stops the build.
constexpr int ExitStatusOf(protocol::Outcome outcome) {
  switch (outcome) {
    case protocol::Outcome::Completed:
      return 0;
    case protocol::Outcome::NoRemote:
      return 3;
    case protocol::Outcome::ProbeFailed:
      return 4;
    case protocol::Outcome::IdentityFailed:
      return 5;
    case protocol::Outcome::NoReply:
    case protocol::Outcome::LoaderNoReply:
      return 6;
    case protocol::Outcome::WriteFailed:
      return 7;
  }
  return 1;
}

}  // namespace corvane::shell
