// Many seeded update runs against a remote and a backend that fail in
// random ways at random steps. Whatever happens, a run ends in exactly one
// outcome with the link closed, in bounded time, and reports success only
// when the remote holds every image it was sent, whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "firmware/images.h"
#include "link/device_link.h"
#include "protocol/update_run.h"
#include "sim/scenarios.h"

namespace corvane::sim {
namespace {

using protocol::Outcome;

enum class Fault {
  CallFails,
  ReplyShort,
  ReplyLong,
  ReplyLate,
  ReplyWrong,
  ReplyMissing,
  Vanishes
};
constexpr int FaultKinds = 7;

// Slowest possible run: both images' 25 blocks, each written three times
// with every read waiting out its time-out, and the restart pause.
constexpr Millis LongestRunMs = 25 * 3 * (200 + 2000) + 8000 + 2 * (200 + 2000 + 200 + 1000);

struct Plan {
  Fault fault;
  int at;  // the frame, or the backend call, it strikes
  std::uint32_t detail;
};

Answer Distorted(const Plan& plan, Answer answer) {
  switch (plan.fault) {
    case Fault::ReplyShort:
      if (answer.reply) {
        answer.reply->resize(answer.reply->size() * (plan.detail % 4) / 4);
      }
      break;
    case Fault::ReplyLong:
      if (answer.reply) {
        answer.reply->resize(answer.reply->size() + 1 + plan.detail % 64, 0xA5);
      }
      break;
    case Fault::ReplyLate:
      answer.delayMs = 1000 + plan.detail % 3000;
      break;
    case Fault::ReplyWrong:
      if (answer.reply && !answer.reply->empty()) {
        auto& reply = *answer.reply;
        reply[plan.detail % reply.size()] ^= static_cast<std::uint8_t>(1 + plan.detail % 255);
      }
      break;
    case Fault::ReplyMissing:
      answer.reply.reset();
      break;
    case Fault::Vanishes:
      answer.presence = Presence::Unplugged;
      break;
    case Fault::CallFails:
      break;
  }
  return answer;
}

void Inject(World& world, const Plan& plan) {
  if (plan.fault == Fault::CallFails) {
    // The at-th call of one kind fails.
    const auto kind = static_cast<Call>(plan.detail % 5);
    world.backend.faults.fails = [plan, kind, calls = 0](Call call, std::string_view) mutable {
      return call == kind && ++calls == plan.at;
    };
    return;
  }
  world.remote.answerHook =
      [plan, frames = 0](const Received&, const Answer& normal) mutable -> std::optional<Answer> {
    if (++frames != plan.at) {
      return std::nullopt;
    }
    return Distorted(plan, normal);
  };
}

// Notes how many pipe files are open whenever the run shows its outcome.
class WatchingWindow final : public RecordingWindow {
 public:
  WatchingWindow(std::vector<std::string>& transcript, const SimBackend& backend)
      : RecordingWindow(transcript), backend_(backend) {}
  void SetStatusText(std::string_view text) override {
    filesOpenAtStatus = backend_.OpenFiles();
    RecordingWindow::SetStatusText(text);
  }
  int filesOpenAtStatus = -1;

 private:
  const SimBackend& backend_;
};

TEST(UpdateUnderRandomFaults, EndsInOneOutcomeWithTheLinkClosedAndClaimsOnlyRealSuccess) {
  const firmware::Images images = firmware::Images::Embedded().value();
  for (std::uint32_t seed = 1; seed <= 400; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const Plan plan{static_cast<Fault>(random() % FaultKinds), static_cast<int>(random() % 40) + 1,
                    static_cast<std::uint32_t>(random())};
    VirtualClock clock;
    World world(clock);
    if (random() % 3 == 0) {
      world.remote.identityReply = IdentityReplyWith({0x00, 0x09, 0x01, 0x01});
    }
    Inject(world, plan);
    std::vector<std::string> transcript;
    WatchingWindow window(transcript, world.backend);
    Outcome outcome;
    {
      link::DeviceLink link(world.backend);
      outcome = protocol::UpdateFirmware(link, images, window).outcome;
      EXPECT_EQ(world.backend.OpenFiles(), 0) << "the link is closed";
    }
    EXPECT_EQ(std::count_if(transcript.begin(), transcript.end(),
                            [](const std::string& l) { return l.starts_with("status "); }),
              1);
    EXPECT_EQ(window.status, protocol::EndingOf(outcome).text);
    EXPECT_EQ(window.filesOpenAtStatus, 0) << "the link is closed before the outcome shows";
    EXPECT_EQ(world.backend.misuses(), std::vector<std::string>{});
    EXPECT_LE(clock.Now(), LongestRunMs);
    if (outcome != Outcome::Completed) {
      continue;
    }
    const auto& received = world.remote.images();
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back().end, FrameKind::MainEnd);
    EXPECT_TRUE(std::ranges::equal(received.back().bytes, images.Main())) << "main image whole";
    for (const auto& image : received) {
      if (image.end == FrameKind::LoaderEnd) {
        EXPECT_TRUE(std::ranges::equal(image.bytes, images.Loader())) << "loader image whole";
      }
    }
  }
}

}  // namespace
}  // namespace corvane::sim
