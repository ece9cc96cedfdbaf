// A whole update run, or an identification, against the simulated remote on
// a virtual clock, the input setting up the world and then playing the
// remote write by write (the format: fuzz/make_seeds.py).
#include <algorithm>
#include <map>
#include <stop_token>

#include "input.h"
#include "link/device_link.h"
#include "protocol/frames.h"
#include "protocol/update_run.h"
#include "sim/scenarios.h"

namespace {

using namespace corvane;

struct Window final : protocol::WindowOperations, protocol::RunObserver {
  void SetStatusText(std::string_view text) override { status = text, ++shown; }
  void SetProgressMin(float) override {}
  void SetProgressMax(float value) override { max = value; }
  void SetProgressValue(float value) override {
    fuzz::Require(value <= max, "progress never passes its total");
  }
  void CloseWindow() override {}
  void PathChosen(protocol::UpdatePath chosen) override { path = chosen; }
  std::string status;
  int shown = 0;
  float max = 100;
  protocol::UpdatePath path = protocol::UpdatePath::Direct;
};

void SetUp(sim::World& world, fuzz::InputReader& input, std::uint8_t setup) {
  if (setup & 2) {
    world.remote.identityReply = sim::IdentityReplyWith({0x00, 0x09, 0x01, 0x01});
  }
  world.remote.restartDelayMs = 64u * input.Byte();
  if (setup & 4) {
    world.remote.restartDelayMs.reset();
  }
  world.backend.faults.timeOutOnCompletion = (setup & 8) != 0;
  if (setup & 16) {
    world.bus.ArrivesAt(64u * input.Byte());
  }
  if (const int call = input.Byte() % 6) {
    world.backend.faults.fails = [call, at = input.Byte(), calls = 0](sim::Call made,
                                                                      std::string_view) mutable {
      return static_cast<int>(made) == call - 1 && ++calls == at;
    };
  }
  for (int listed = input.Byte() % 4; listed > 0; --listed) {
    const std::vector<std::uint8_t> path = input.Bytes(input.Byte());
    world.backend.listedBefore.push_back(path.empty() ? sim::SimRemotePath(2)
                                                      : std::string(path.begin(), path.end()));
  }
  // An empty read takes a few bus frames, not thousands of tries a time-out.
  world.backend.timing.emptyReadLatencyMs = 16;
}

std::size_t BlocksOf(std::int32_t bytes) {
  return static_cast<std::size_t>((bytes - 1) / protocol::MaxPayload + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using fuzz::Require;
  static const firmware::Images images = firmware::Images::Embedded().value();
  fuzz::InputReader input({data, size});
  sim::VirtualClock clock;
  sim::World world(clock);
  const std::uint8_t setup = input.Byte();
  SetUp(world, input, setup);
  clock = sim::VirtualClock(0u - 500u * input.Byte());
  std::stop_source stop;  // with setup bit 5, asked for at the nth write (0: never)
  const int stopAt = setup & 32 ? input.Byte() : -1;
  int written = 0;

  std::uint8_t action = 0;
  std::size_t violations = 0;
  bool restartedMidImage = false;  // its session gone, the remote's checks say nothing more
  world.remote.writeHook = [&](const sim::Received&) {
    if (++written == stopAt) {
      stop.request_stop();
    }
    action = input.Byte();
    const auto fault = static_cast<sim::WriteFault>(action >> 2 & 3);
    return sim::WriteBehaviour{fault, fault == sim::WriteFault::Short ? input.Byte() : 0u};
  };
  world.remote.answerHook = [&](const sim::Received& received, const sim::Answer& normal) {
    Require(world.remote.violations().size() == violations || restartedMidImage ||
                (action >> 2 & 3) == 3,
            "every frame written whole is well formed");
    violations = world.remote.violations().size();
    std::optional<sim::Answer> played(normal);
    if ((action & 3) == 0) {
      played->reply.reset();
    } else if ((action & 3) == 2) {
      played->delayMs = 16u * input.Byte();
    } else if ((action & 3) == 3) {
      played->reply = input.Bytes(input.Byte());
    }
    played->mode = static_cast<sim::ReadMode>((action >> 4 & 3) % 3);
    if (action >> 6 != 0) {
      played->presence = static_cast<sim::Presence>((action >> 6) % 3);
    }
    restartedMidImage |=
        played->presence == sim::Presence::Restarts && received.kind != sim::FrameKind::LoaderEnd;
    return played;
  };

  // The blocks of the image being sent as the link's trace shows them:
  // writes, replies, and replies with the block's number plus one. Each end
  // frame written whole notes its second marker and, when every block counts
  // as sent (acknowledged, or written three times with some reply, as
  // remotes rely on), how many there were, else 0.
  std::map<std::uint16_t, std::array<int, 3>> blocks;
  std::uint16_t current = 0;  // 0 after any other write
  std::vector<std::pair<std::uint8_t, std::size_t>> ended;
  link::DeviceLink link(world.backend, stopAt >= 0 ? stop.get_token() : std::stop_token{});
  link.SetTrace([&](auto direction, auto bytes, const link::PipeResult& result) {
    const bool whole = result.status == link::PipeStatus::Completed && result.count == bytes.size();
    if (direction == link::DeviceLink::Direction::Read) {
      if (current != 0 && result.Delivered()) {
        // A reply longer than a BlockReply carries no number.
        std::array<std::uint8_t, protocol::BlockReplySize> reply{};
        std::copy_n(bytes.begin(), result.count <= reply.size() ? bytes.size() : 0, reply.begin());
        blocks[current][1]++;
        blocks[current][2] += protocol::BlockNumberAt(reply) == current + 1;
      }
    } else if (whole && bytes.size() > protocol::FrameHeaderSize) {
      current = protocol::BlockNumberAt(bytes);
      blocks[current][0]++;
    } else if (current = 0; bytes[0] == protocol::EndMarker) {
      const bool sent = std::all_of(blocks.begin(), blocks.end(), [](const auto& block) {
        const auto [writes, replies, acks] = block.second;
        return acks > 0 || (writes == 3 && replies > 0);
      });
      if (whole) {
        ended.emplace_back(bytes[1], sent ? blocks.size() : 0);
      }
      blocks.clear();
    }
  });

  Window window;
  const auto ending = setup & 1 ? protocol::Identify(link, images, window, &window)
                                : protocol::UpdateFirmware(link, images, window, &window);
  const auto* result = std::get_if<protocol::RunResult>(&ending);
  Require(result != nullptr || window.shown == 0, "an identification shows no outcome");
  if (result != nullptr) {
    Require(static_cast<std::size_t>(result->outcome) < protocol::Endings.size() &&
                window.shown == 1 && window.status == protocol::EndingOf(result->outcome).text,
            "the run ends with one known outcome, shown once");
    decltype(ended) sent{{protocol::MarkerSecond, BlocksOf(firmware::MainImageSize)}};
    if (window.path == protocol::UpdatePath::Loader) {
      sent.insert(sent.begin(),
                  {protocol::LoaderEndMarkerSecond, BlocksOf(firmware::LoaderImageSize)});
    }
    const auto& received = world.remote.images();
    const bool mainWhole =
        !received.empty() && std::ranges::equal(received.back().bytes, images.Main());
    Require(result->outcome != protocol::Outcome::Completed ||
                (ended == sent && (mainWhole || restartedMidImage)),
            "completed only with every block of every image sent, its end frame written and "
            "the main image whole on the remote");
  }
  Require(link.DevicePath().empty() && world.backend.OpenFiles() == 0,
          "the link is closed at the end, with no pipe file open");
  Require(world.backend.misuses().empty(), "the link keeps the backend's contract");
  return 0;
}
