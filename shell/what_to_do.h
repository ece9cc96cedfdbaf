// What a person does after each way a run can end, in the words of the
// README's troubleshooting table, for every program that tells them.
#pragma once

#include <string_view>

#include "protocol/outcome.h"

namespace corvane::shell {

// A switch without a default: a new outcome without advice stops the build.
constexpr std::string_view WhatToDo(protocol::Outcome outcome) {
  switch (outcome) {
    case protocol::Outcome::Completed:
      return "Nothing: unplug the remote.";
    case protocol::Outcome::NoRemote:
      return "Plug the remote in and run the update again.";
    case protocol::Outcome::ProbeFailed:
      return "Check the cable, plug the remote in again and run the update again.";
    case protocol::Outcome::IdentityFailed:
      return "Plug the remote in again and run the update again.";
    case protocol::Outcome::NoReply:
    case protocol::Outcome::LoaderNoReply:
      return "Leave the remote plugged in and run the update again at once: a remote left half "
             "updated takes the update again.";
    case protocol::Outcome::WriteFailed:
      return "Check the cable and the USB port, then run the update again.";
  }
  return {};
}

}  // namespace corvane::shell
