#include "sim/scenarios.h"

#include <algorithm>
#include <array>

#include "link/device_link.h"
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
    {"direct", "a remote that takes the update directly (Send completed)", [](World&) {}},
    {"direct-flagged", "a remote of another kind that takes the update directly (Send completed)",
     [](World& w) {
       w.remote.identityReply = IdentityReplyWith({0x01, 0x0A, 0x00, 0x00});
     }},
    {"loader", "a remote that needs the loader first, then restarts (Send completed)", NeedsLoader},
    {"own-number",
     "a remote that answers each block wrongly, so each is sent three times (Send completed)",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         if (r.kind == FrameKind::Block) {
           return Replying(BlockReplyWith(r.block));
         }
         return std::nullopt;
       };
     }},
    {"no-remote", "no remote plugged in (no usb device)",
     [](World& w) { w.backend.SetPresent(false); }},
    {"arrives-late", "a remote plugged in two seconds after the start (Send completed)",
     [](World& w) { w.bus.ArrivesAt(LateArrivalMs); }},
    {"replugged",
     "a remote plugged in two seconds after the start, unplugged after its update and "
     "plugged in again (Send completed, twice under --watch)",
     [](World& w) {
       w.bus.ArrivesAt(LateArrivalMs);
       w.bus.ReplugAfterUpdate(StaysAfterUpdateMs, UnpluggedForMs);
     }},
    {"no-permission", "a remote this user may not open (no usb device, and a box says why)",
     [](World& w) { RefuseOpen(w, link::CauseKind::PermissionDenied, 13, "Permission denied"); }},
    {"held-elsewhere", "a remote another program is using (no usb device, and a box says why)",
     [](World& w) {
       RefuseOpen(w, link::CauseKind::HeldByAnotherProgram, 16, "Device or resource busy");
     }},
    {"probe-nak", "a remote that answers the first call wrongly (Error #001)",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         if (r.kind == FrameKind::Probe) {
           return Replying({ProbeNak});
         }
         return std::nullopt;
       };
     }},
    {"probe-silent",
     "a remote that never answers the first call; the update goes on (Send completed)",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         return r.kind == FrameKind::Probe ? Hook(Silent()) : std::nullopt;
       };
     }},
    {"identity-bad-echo",
     "a remote whose answer about itself is not valid (Error #002; the window closes)",
     [](World& w) { BadEcho(w.remote.identityReply); }},
    {"identity-bad-echo-loader",
     "a remote that needs the loader, but whose answer about itself is not valid; the update goes "
     "on (Send completed)",
     [](World& w) {
       NeedsLoader(w);
       BadEcho(w.remote.identityReply);
     }},
    {"identity-short",
     "a remote whose answer about itself is cut short; the update goes on (Send completed)",
     [](World& w) {
       w.remote.identityReply.assign(20, 0);
       w.remote.identityReply[0] = 0xAD;
       w.remote.identityReply[1] = 0xFA;
     }},
    {"identity-silent",
     "a remote that never answers about itself; the update goes on (Send completed)",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         return r.kind == FrameKind::IdentityRequest ? Hook(Silent()) : std::nullopt;
       };
     }},
    {"block-empty", "a remote that answers block 5 with nothing (Error #003; the window closes)",
     [](World& w) { EmptyAfterBlock(w, 5, false); }},
    {"block-silent",
     "a remote that stops answering in the middle, at block 7 (Error #003; the window closes)",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         return r.kind == FrameKind::Block && r.block >= 7 ? Hook(Silent()) : std::nullopt;
       };
     }},
    {"retry-then-ack", "a remote that misses block 4 once; it is sent again (Send completed)",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         return r.kind == FrameKind::Block && r.block == 4 && r.attempt == 1 ? Hook(Silent())
                                                                             : std::nullopt;
       };
     }},
    {"wrong-ack-once",
     "a remote that answers block 6 wrongly once; it is sent again (Send completed)",
     [](World& w) {
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         if (r.kind == FrameKind::Block && r.block == 6 && r.attempt == 1) {
           return Replying(BlockReplyWith(r.block));
         }
         return std::nullopt;
       };
     }},
    {"slow-remote", "a slow remote: each block takes one and a half seconds (Send completed)",
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
    {"loader-empty",
     "a remote that needs the loader and answers its block 3 with nothing (Error #003)",
     [](World& w) {
       NeedsLoader(w);
       EmptyAfterBlock(w, 3, false);
     }},
    {"loader-gone",
     "a remote that needs the loader and does not come back after it (no usb device)",
     [](World& w) {
       NeedsLoader(w);
       w.remote.restartDelayMs.reset();
     }},
    {"loader-probe-nak",
     "a remote that needs the loader and, restarted, answers the first call wrongly (Error #001)",
     [](World& w) {
       NeedsLoader(w);
       w.remote.answerHook = [](const Received& r, const Answer&) -> Hook {
         if (r.kind == FrameKind::Probe && r.afterRestart) {
           return Replying({ProbeNak});
         }
         return std::nullopt;
       };
     }},
    {"loader-identity-bad",
     "a remote that needs the loader and, restarted, gives an answer about itself that is not "
     "valid (Error #002; the window closes)",
     [](World& w) {
       NeedsLoader(w);
       BadEcho(w.remote.loaderIdentityReply);
     }},
    {"loader-main-empty",
     "a remote that needs the loader and, restarted, answers block 2 with nothing (Error #003; the "
     "window closes)",
     [](World& w) {
       NeedsLoader(w);
       EmptyAfterBlock(w, 2, true);
     }},
    {"probe-write-fails", "the connection breaks at the first call (Error #004)",
     [](World& w) { FailWrite(w, FrameKind::Probe, WriteFault::WaitFails); }},
    {"block-short-write", "the connection loses part of block 3 (Error #004)",
     [](World& w) {
       w.remote.writeHook = [](const Received& r) {
         return r.kind == FrameKind::Block && r.block == 3
                    ? WriteBehaviour{WriteFault::Short, ShortWriteBy}
                    : WriteBehaviour{};
       };
     }},
    {"end-write-fails", "the connection breaks as the update ends (Error #004)",
     [](World& w) { FailWrite(w, FrameKind::MainEnd, WriteFault::Stalls); }},
    {"loader-end-write-fails",
     "a remote that needs the loader; the connection breaks as the loader ends (Error #004)",
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
  RecordingWindow window(run.transcript);
  world.backend.onWriteCall = [&window](std::span<const std::uint8_t> bytes) {
    window.Written(bytes);
  };
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
