#include "shell/terminal/remote_run.h"

#include <chrono>
#include <optional>
#include <variant>

#include "protocol/update_run.h"
#include "shell/cause_hint.h"
#include "shell/program_info.h"
#include "shell/terminal/console.h"
#include "shell/terminal/display_fan_out.h"
#include "shell/terminal/exit_status.h"
#include "shell/terminal/run_words.h"
#include "shell/what_to_do.h"

namespace corvane::shell {
namespace {

using protocol::Outcome;
using protocol::RunResult;

// What went wrong in a failed run, where the run knows more than its
// status text says: the block, or the identity reply.
std::optional<std::string> WhatHappened(const RunResult& result, const DisplayFanOut& shown) {
  const auto& block = shown.lastBlock();
  const bool blockFailed = block && shown.phase() &&
                           block->end != protocol::BlockEnd::Acknowledged &&
                           block->end != protocol::BlockEnd::Unacknowledged;
  switch (result.outcome) {
    case Outcome::NoReply:
    case Outcome::LoaderNoReply:
    case Outcome::WriteFailed:
      if (blockFailed) {
        return BlockWords(*shown.phase(), *block);
      }
      break;
    case Outcome::IdentityFailed:
      return shown.identity() ? IdentityWords(*shown.identity())
                              : "the remote did not answer the identity request";
    default:
      break;
  }
  return std::nullopt;
}

// Says how a run ended: on success the status text on standard output (on
// standard error under --json), on failure on standard error with what
// happened and what to do. Gives the exit status.
int Tell(const RunSetting& setting, const std::string& prefix, const RunResult& result,
         const DisplayFanOut& shown) {
  const int status = ExitStatusOf(result, shown.phase() == protocol::Phase::Pause);
  const std::string_view text = protocol::EndingOf(result.outcome).text;
  if (result.outcome == Outcome::Completed) {
    (setting.options.json ? setting.err : setting.out).Line(prefix + std::string(text));
    return status;
  }
  const std::string name = std::string(FlashProgram) + ": " + prefix;
  setting.err.Line(name + std::string(text));
  if (result.outcome != Outcome::NoRemote) {
    if (const auto happened = WhatHappened(result, shown)) {
      setting.err.Line(name + *happened);
    }
    setting.err.Line(name + std::string(WhatToDo(result.outcome)));
  } else if (status == NotBackAfterLoader) {
    setting.err.Line(name + std::string(NeedsTheUpdateAgain));
  } else if (const std::string hint = CauseHint(result.cause.kind); !hint.empty()) {
    setting.err.Line(name + hint + " (" + result.cause.text + ")");
  }
  return status;
}

// What --info says of an identified remote.
void TellIdentity(const RunSetting& setting, const std::string& prefix,
                  const protocol::RemoteIdentity& identity) {
  const bool loader = identity.path == protocol::UpdatePath::Loader;
  setting.notes.Line(prefix + IdentityWords(identity));
  setting.notes.Line(prefix + (loader ? "an update would take the loader path"
                                      : "an update would take the direct path, header flag " +
                                            std::to_string(identity.headerFlag)));
  setting.notes.Line(prefix + ImageDigestLine("main", firmware::MainImageSha256));
  if (loader) {
    setting.notes.Line(prefix + ImageDigestLine("loader", firmware::LoaderImageSha256));
  }
}

TerminalWindow::Style StyleFor(const RunSetting& setting) {
  using Style = TerminalWindow::Style;
  return setting.options.json ? Style::NoProgress
         : setting.several    ? Style::Lines
         : OutputIsTerminal() ? Style::Live
                              : Style::Lines;
}

}  // namespace

int RunRemote(const RunSetting& setting, const std::string& id, const std::string& serial,
              link::Backend& backend, std::stop_token stop) {
  const std::string prefix = setting.several ? id + ": " : "";
  TerminalWindow terminal(setting.notes, StyleFor(setting), prefix, stop);
  std::optional<JsonEvents> json;
  if (setting.json != nullptr) {
    json.emplace(*setting.json, setting.several ? id : "", serial);
  }
  const std::string logged = id.empty() ? "-" : id;
  DisplayFanOut shown(terminal, json ? &*json : nullptr, setting.log, logged);
  link::DeviceLink link(backend, stop, id);
  if (setting.log != nullptr) {
    setting.log->Began(logged, serial);
    link.SetTrace([&setting, logged](auto direction, auto bytes, const auto& result) {
      setting.log->Transfer(logged, direction, bytes, result);
    });
  }

  const auto start = std::chrono::steady_clock::now();
  RunResult result{Outcome::Completed, {}};
  if (setting.options.info) {
    const auto identified = protocol::Identify(link, setting.images, shown, &shown);
    if (const auto* ended = std::get_if<RunResult>(&identified)) {
      result = *ended;
    } else {
      const auto& identity = std::get<protocol::RemoteIdentity>(identified);
      if (!serial.empty()) {
        setting.notes.Line(prefix + "serial number " + serial);
      }
      TellIdentity(setting, prefix, identity);
      if (json) {
        json->Identified(identity);
      }
    }
  } else {
    result = protocol::UpdateFirmware(link, setting.images, shown, &shown);
  }
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::steady_clock::now() - start)
                           .count();
  // A stopped run is the interrupt's, whatever the remote was doing.
  const bool interrupted = stop.stop_requested();
  const bool identified = setting.options.info && result.outcome == Outcome::Completed;
  const int status = interrupted  ? InterruptStatus()
                     : identified ? 0
                                  : Tell(setting, prefix, result, shown);
  const std::string_view text = interrupted  ? ExitStatusMeaning(status)
                                : identified ? "identified"
                                             : protocol::EndingOf(result.outcome).text;
  if (json) {
    json->End(text, identified ? "identified" : ExitStatusName(status), status, result.cause,
              elapsed);
  }
  if (setting.log != nullptr) {
    setting.log->Ended(logged, text, result.cause, status);
  }
  return status;
}

}  // namespace corvane::shell
