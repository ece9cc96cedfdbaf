// The ways an update run can end, each with its status text and what
// becomes of the window.
#pragma once

#include <array>
#include <string_view>

#include "link/cause.h"

namespace corvane::protocol {

enum class Outcome {
  NoRemote,        // no remote found, or its pipes would not open
  WriteFailed,     // a frame was not written whole
  ProbeFailed,     // the probe was answered with nothing or a wrong byte
  IdentityFailed,  // the identity reply failed its echo
  NoReply,         // a block of the main image got no reply
  LoaderNoReply,   // a block of the loader image got no reply
  Completed,       // the main image and its end frame were sent
};

enum class WindowAfter { StaysOpen, Closes };

struct Ending {
  Outcome outcome;
  std::string_view text;
  WindowAfter window;
};

inline constexpr std::array<Ending, 7> Endings{{
    {Outcome::NoRemote, "no usb device", WindowAfter::StaysOpen},
    {Outcome::WriteFailed, "Download Failed(Error #004).  Please check the connection",
     WindowAfter::StaysOpen},
    {Outcome::ProbeFailed, "Download Failed(Error #001).  Please check the connection",
     WindowAfter::StaysOpen},
    {Outcome::IdentityFailed, "Download Failed(Error #002).  Please check the connection",
     WindowAfter::Closes},
    {Outcome::NoReply, "Download Failed(Error #003).  Please check the connection",
     WindowAfter::Closes},
    {Outcome::LoaderNoReply, "Download Failed(Error #003).  Please check the connection",
     WindowAfter::StaysOpen},
    {Outcome::Completed, "Send completed", WindowAfter::StaysOpen},
}};

constexpr const Ending& EndingOf(Outcome outcome) {
  return Endings[static_cast<std::size_t>(outcome)];
}

// How a run ended, and why where the system said: the remote could not be
// opened, or it went away.
struct RunResult {
  Outcome outcome = Outcome::NoRemote;
  link::Cause cause;
};

static_assert(
    [] {
      for (std::size_t i = 0; i < Endings.size(); ++i) {
        if (static_cast<std::size_t>(Endings[i].outcome) != i) {
          return false;
        }
      }
      return true;
    }(),
    "Endings is indexed by Outcome");

}  // namespace corvane::protocol
