#include "sim/scenarios.h"

#include <algorithm>
#include <array>

#include "link/device_link.h"
#include "link/text.h"
#include "protocol/update_run.h"

namespace corvane::sim {
namespace {

constexpr std::uint8_t ProbeNak = 0xF5;
constexpr std::uint32_t SlowReplyMs = 1500;
constexpr std::uint32_t ShortWriteBy = 100;
// A 4 KB frame crosses full-speed USB in a few milliseconds; programming a
// flash block takes the remote around a tenth of a second.
constexpr std::uint32_t RealWriteMs = 5;
constexpr std::uint32_t RealProgrammingMs = 120;
constexpr Millis LateArrivalMs = 2000;
// Long enough for corvane-flash --watch to look at the bus a few times.
constexpr Millis StaysAfterUpdateMs = 1500;
constexpr Millis UnpluggedForMs = 1000;

using Hook = std::optional<Answer>;

void NeedsLoader(World& w) {
  w.remote.identityReply = IdentityReplyWith({0x00, 0x09, 0x01, 0x01});
}

Answer Silent() {
  return {};
}

Answer EmptyReads() {
  Answer answer;
  answer.mode = ReadMode::Empty;
  return answer;
}

Answer Replying(std::vector<std::uint8_t> reply) {
  Answer answer;
  answer.reply = std::move(reply);
  return answer;
}

void BadEcho(std::vector<std::uint8_t>& reply) {
  reply[1] = 0xFB;
}

void FailWrite(World& w, FrameKind kind, WriteFault fault) {
  w.remote.writeHook = [kind, fault](const Received& r) {
    return r.kind == kind ? WriteBehaviour{fault} : WriteBehaviour{};
  };
}

// Reads stay empty after the given block, before or after the restart.
void EmptyAfterBlock(World& w, std::uint16_t block, bool afterRestart) {
  w.remote.answerHook = [block, afterRestart](const Received& r, const Answer&) -> Hook {
    if (r.kind == FrameKind::Block && r.block == block && r.afterRestart == afterRestart) {
      return EmptyReads();
    }
    return std::nullopt;
  };
}

// The remote is there, but its pipe files are refused as the system says.
void RefuseOpen(World& w, link::CauseKind kind, int code, std::string_view text) {
  w.backend.faults.fails = [](Call call, std::string_view) { return call == Call::Open; };
  w.backend.faults.refusal = {kind, code, std::string(text)};
}

constexpr std::array<Scenario, 29> AllScenarios{{
    {"direct", "conforming remote, identity 00 09 00 00: direct path, flag 0", [](World&) {}},
    {"direct-flagged", "identity 01 0A 00 00: direct path, flag 1",
     [](World& w) {
       w.remote.identityReply = IdentityReplyWith({0x01, 0x0A, 0x00, 0x00});
     }},
    {"loader", "identity 00 09 01 01: loader path, restart within 3000 ms", NeedsLoader},
    {"own-number", "every block acknowledged with its own number: each written three times",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         if (r.kind == FrameKind::Block) {
           return Replying(BlockReplyWith(r.block));
         }
         return std::nullopt;
       };
     }},
    {"no-remote", "no interface present", [](World& w) { w.backend.SetPresent(false); }},
    {"arrives-late", "conforming remote, plugged in 2000 ms after the start",
     [](World& w) { w.bus.ArrivesAt(LateArrivalMs); }},
    {"replugged",
     "conforming remote, plugged in 2000 ms after the start; 1500 ms after its update "
     "unplugged, and plugged in again 1000 ms later",
     [](World& w) {
       w.bus.ArrivesAt(LateArrivalMs);
       w.bus.ReplugAfterUpdate(StaysAfterUpdateMs, UnpluggedForMs);
     }},
    {"no-permission", "the remote is present, but this user may not open it",
     [](World& w) { RefuseOpen(w, link::CauseKind::PermissionDenied, 13, "Permission denied"); }},
    {"held-elsewhere", "the remote is present, but another program holds it",
     [](World& w) {
       RefuseOpen(w, link::CauseKind::HeldByAnotherProgram, 16, "Device or resource busy");
     }},
    {"probe-nak", "the probe is answered 0xF5",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         if (r.kind == FrameKind::Probe) {
           return Replying({ProbeNak});
         }
         return std::nullopt;
       };
     }},
    {"probe-silent", "the probe reply never comes",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         return r.kind == FrameKind::Probe ? Hook(Silent()) : std::nullopt;
       };
     }},
    {"identity-bad-echo", "48-byte identity reply beginning AD FB, identity 00 09 00 00",
     [](World& w) { BadEcho(w.remote.identityReply); }},
    {"identity-bad-echo-loader", "48-byte identity reply beginning AD FB, identity 00 09 01 01",
     [](World& w) {
       NeedsLoader(w);
       BadEcho(w.remote.identityReply);
     }},
    {"identity-short", "20-byte identity reply AD FA and zeros",
     [](World& w) {
       w.remote.identityReply.assign(20, 0);
       w.remote.identityReply[0] = 0xAD;
       w.remote.identityReply[1] = 0xFA;
     }},
    {"identity-silent", "the identity reply never comes",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         return r.kind == FrameKind::IdentityRequest ? Hook(Silent()) : std::nullopt;
       };
     }},
    {"block-empty", "the reply read after block 5 completes with 0 bytes",
     [](World& w) { EmptyAfterBlock(w, 5, false); }},
    {"block-silent", "from block 7 on the remote never answers",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         return r.kind == FrameKind::Block && r.block >= 7 ? Hook(Silent()) : std::nullopt;
       };
     }},
    {"retry-then-ack", "the first reply to block 4 never comes, the second acknowledges",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         return r.kind == FrameKind::Block && r.block == 4 && r.attempt == 1 ? Hook(Silent())
                                                                             : std::nullopt;
       };
     }},
    {"wrong-ack-once", "block 6 is first acknowledged with its own number, then correctly",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         if (r.kind == FrameKind::Block && r.block == 6 && r.attempt == 1) {
           return Replying(BlockReplyWith(r.block));
         }
         return std::nullopt;
       };
     }},
    {"slow-remote", "every block reply comes after 1500 ms",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer& normal) -> Hook {
         if (r.kind != FrameKind::Block) {
           return std::nullopt;
         }
         Answer slow = normal;
         slow.delayMs = SlowReplyMs;
         return slow;
       };
     }},
    {"loader-empty", "loader path; the reply read after loader block 3 completes with 0 bytes",
     [](World& w) {
       NeedsLoader(w);
       EmptyAfterBlock(w, 3, false);
     }},
    {"loader-gone", "loader path; the remote never comes back after the loader",
     [](World& w) {
       NeedsLoader(w);
       w.remote.restartDelayMs.reset();
     }},
    {"loader-probe-nak", "loader path; after the restart the probe is answered 0xF5",
     [](World& w) {
       NeedsLoader(w);
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         if (r.kind == FrameKind::Probe && r.afterRestart) {
           return Replying({ProbeNak});
         }
         return std::nullopt;
       };
     }},
    {"loader-identity-bad", "loader path; after the restart the identity reply begins AD FB",
     [](World& w) {
       NeedsLoader(w);
       BadEcho(w.remote.loaderIdentityReply);
     }},
    {"loader-main-empty", "loader path; the reply read after main block 2 completes with 0 bytes",
     [](World& w) {
       NeedsLoader(w);
       EmptyAfterBlock(w, 2, true);
     }},
    {"probe-write-fails", "the probe's write does not complete: the wait fails",
     [](World& w) { FailWrite(w, FrameKind::Probe, WriteFault::WaitFails); }},
    {"block-short-write", "block 3's write completes with 100 bytes fewer than the frame",
     [](World& w) {
       w.remote.writeHook = [](const Received& r) {
         return r.kind == FrameKind::Block && r.block == 3
                    ? WriteBehaviour{WriteFault::Short, ShortWriteBy}
                    : WriteBehaviour{};
       };
     }},
    {"end-write-fails", "the main end frame's write does not complete",
     [](World& w) { FailWrite(w, FrameKind::MainEnd, WriteFault::Stalls); }},
    {"loader-end-write-fails", "loader path; the loader end frame's write does not complete",
     [](World& w) {
       NeedsLoader(w);
       FailWrite(w, FrameKind::LoaderEnd, WriteFault::Stalls);
     }},
}};

}  // namespace

std::string SimRemotePath(int number) {
  return "\\\\?\\usb#vid_ec4b&pid_7a10#sim-" + std::to_string(number) +
         "#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}";
}

World::World(Clock& clock, int number) : backend(clock, bus, SimRemotePath(number)) {}

void PaceLikeARealRemote(World& world) {
  world.backend.timing.writeLatencyMs = RealWriteMs;
  world.backend.timing.emptyReadLatencyMs = RealWriteMs;
  world.remote.replyDelayMs = RealProgrammingMs;
}

std::span<const Scenario> Scenarios() {
  return AllScenarios;
}

std::string ScenarioList() {
  std::string list;
  for (const auto& scenario : AllScenarios) {
    list.append(scenario.name).append("  ").append(scenario.description).append("\n");
  }
  return list;
}

std::string UnknownScenario(std::string_view program, std::string_view name,
                            std::string_view listOption) {
  std::string text(program);
  text.append(": unknown scenario '").append(name).append("' (");
  return text.append(program).append(" ").append(listOption).append(" shows them)");
}

ScenarioArgument ReadScenarioArgument(std::string_view program, std::string_view argument) {
  if (argument == "--list") {
    return {nullptr, ScenarioList(), 0};
  }
  if (const Scenario* scenario = FindScenario(argument)) {
    return {scenario, {}, 0};
  }
  return {nullptr, UnknownScenario(program, argument, "--list") + "\n", 2};
}

const Scenario* FindScenario(std::string_view name) {
  const auto found = std::find_if(AllScenarios.begin(), AllScenarios.end(),
                                  [name](const Scenario& s) { return s.name == name; });
  return found == AllScenarios.end() ? nullptr : &*found;
}

ScenarioRun RunScenario(const Scenario& scenario, Clock& clock, const firmware::Images& images) {
  World world(clock);
  scenario.setUp(world);
  ScenarioRun run;
  world.backend.onWriteCall = [&run](std::span<const std::uint8_t> bytes) {
    run.transcript.push_back("write " + link::HexText(bytes));
  };
  RecordingWindow window(run.transcript);
  {
    link::DeviceLink link(world.backend);
    const Millis start = clock.Now();
    run.outcome = protocol::UpdateFirmware(link, images, window).outcome;
    run.elapsedMs = clock.Now() - start;
  }
  run.status = window.status;
  run.progressMin = window.min;
  run.progressMax = window.max;
  run.progressValue = window.value;
  run.windowClosed = window.closed;
  run.images = world.remote.images();
  run.violations = world.remote.violations();
  const auto& misuses = world.backend.misuses();
  run.violations.insert(run.violations.end(), misuses.begin(), misuses.end());
  run.openFiles = world.backend.OpenFiles();
  return run;
}

}  // namespace corvane::sim
