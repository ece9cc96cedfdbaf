#include <gtest/gtest.h>

#include <algorithm>
#include <stop_token>
#include <string>
#include <vector>

#include "firmware/images.h"
#include "protocol/update_run.h"
#include "sim/scenarios.h"
#include "sim_test_world.h"

namespace corvane::sim {
namespace {

using namespace protocol;

struct ImageSeen {
  FrameKind end;
  std::uint8_t flag;
};

struct Expected {
  std::string_view scenario;
  Outcome outcome;
  std::vector<ImageSeen> images;
  float progressValue;
  std::size_t writes;
  std::size_t violations = 0;
};

const ImageSeen Main0{FrameKind::MainEnd, 0};
const ImageSeen Main1{FrameKind::MainEnd, 1};
const ImageSeen Loader{FrameKind::LoaderEnd, 1};

// Writes: probe, identity request, blocks (with retries), end frames.
const std::vector<Expected> Outcomes{
    {"direct", Outcome::Completed, {Main0}, 0, 23},
    {"direct-flagged", Outcome::Completed, {Main1}, 0, 23},
    {"loader", Outcome::Completed, {Loader, Main0}, 0, 31},
    {"own-number", Outcome::Completed, {Main0}, 0, 63},
    {"no-remote", Outcome::NoRemote, {}, 0, 0},
    {"arrives-late", Outcome::NoRemote, {}, 0, 0},
    {"replugged", Outcome::NoRemote, {}, 0, 0},
    {"no-permission", Outcome::NoRemote, {}, 0, 0},
    {"held-elsewhere", Outcome::NoRemote, {}, 0, 0},
    {"probe-nak", Outcome::ProbeFailed, {}, 0, 1},
    {"probe-silent", Outcome::Completed, {Main0}, 0, 23},
    {"identity-bad-echo", Outcome::IdentityFailed, {}, 0, 2},
    {"identity-bad-echo-loader", Outcome::Completed, {Loader, Main0}, 0, 31},
    {"identity-short", Outcome::Completed, {Main0}, 0, 23},
    {"identity-silent", Outcome::Completed, {Main0}, 0, 23},
    {"block-empty", Outcome::NoReply, {}, 16384, 7},
    {"block-silent", Outcome::NoReply, {}, 24576, 11},
    {"retry-then-ack", Outcome::Completed, {Main0}, 0, 24},
    {"wrong-ack-once", Outcome::Completed, {Main0}, 0, 24},
    {"slow-remote", Outcome::Completed, {Main0}, 0, 23},
    {"loader-empty", Outcome::LoaderNoReply, {}, 8192, 5},
    {"loader-gone", Outcome::NoRemote, {Loader}, 17408, 8},
    {"loader-probe-nak", Outcome::ProbeFailed, {Loader}, 17408, 9},
    {"loader-identity-bad", Outcome::IdentityFailed, {Loader}, 17408, 10},
    {"loader-main-empty", Outcome::NoReply, {Loader}, 21504, 12},
    {"probe-write-fails", Outcome::WriteFailed, {}, 0, 1},
    {"block-short-write", Outcome::WriteFailed, {}, 8192, 5, 1},
    {"end-write-fails", Outcome::WriteFailed, {}, 78336, 23},
    {"loader-end-write-fails", Outcome::WriteFailed, {}, 17408, 8},
};

std::size_t Count(const std::vector<std::string>& lines, std::string_view prefix) {
  return static_cast<std::size_t>(
      std::count_if(lines.begin(), lines.end(),
                    [prefix](const std::string& l) { return l.starts_with(prefix); }));
}

class ScenarioTest : public testing::Test {
 protected:
  ScenarioRun Run(std::string_view name) {
    const Scenario* scenario = FindScenario(name);
    EXPECT_NE(scenario, nullptr) << name;
    VirtualClock clock;
    return RunScenario(*scenario, clock, images);
  }
  const firmware::Images images = firmware::Images::Embedded().value();
};

TEST_F(ScenarioTest, EveryScenarioIsCheckedAndEndsInItsOneOutcome) {
  ASSERT_EQ(Scenarios().size(), Outcomes.size());
  for (const auto& expected : Outcomes) {
    SCOPED_TRACE(expected.scenario);
    const ScenarioRun run = Run(expected.scenario);
    const Ending& ending = EndingOf(expected.outcome);
    EXPECT_EQ(run.outcome, expected.outcome);
    EXPECT_EQ(run.status, ending.text);
    EXPECT_EQ(Count(run.transcript, "status "), 1u) << "exactly one outcome";
    EXPECT_EQ(run.windowClosed, ending.window == WindowAfter::Closes);
    EXPECT_EQ(run.progressValue, expected.progressValue);
    EXPECT_EQ(Count(run.transcript, "write "), expected.writes);
    EXPECT_EQ(run.violations.size(), expected.violations);
    EXPECT_EQ(run.openFiles, 0) << "the link is closed";
    const auto closing = std::find(run.transcript.begin(), run.transcript.end(), "close-window");
    EXPECT_EQ(closing == run.transcript.end() ? run.transcript.end() : closing + 1,
              run.transcript.end())
        << "nothing is shown after the window closed";
    ASSERT_EQ(run.images.size(), expected.images.size());
    for (std::size_t i = 0; i < run.images.size(); ++i) {
      const auto& image = run.images[i];
      EXPECT_EQ(image.end, expected.images[i].end);
      EXPECT_EQ(image.headerFlag, expected.images[i].flag);
      const auto sent = firmware::EmbeddedImage(
          image.end == FrameKind::LoaderEnd ? firmware::LoaderImageId : firmware::MainImageId);
      EXPECT_TRUE(std::ranges::equal(image.bytes, sent)) << "image " << i << " arrived whole";
    }
  }
}

TEST_F(ScenarioTest, EachPathWritesItsFramesInOrderAndShowsItsProgress) {
  using At = std::vector<std::pair<std::size_t, std::string>>;
  const struct {
    std::string_view scenario;
    At heads;   // the first bytes of the nth write
    At values;  // the nth progress value
    std::string range;
    Millis longerThan;  // the loader path's restart pause
  } cases[] = {
      {"direct",
       {{0, "F8"},
        {1, "ADFA0000000000A7"},
        {2, "ADFA1000000100B8"},
        {21, "ADFA0200001400BD"},
        {22, "BDFA0000000000B7"}},
       {{0, "4096"}, {19, "78336"}, {20, "0"}},
       "max 78336",
       0},
      {"loader",
       {{2, "ADFA1000000101B9"},
        {6, "ADFA0400000501B1"},
        {7, "BDCF00000000008C"},
        {8, "F8"},
        {9, "ADFA0000000000A7"},
        {10, "ADFA1000000100B8"},
        {29, "ADFA0200001400BD"},
        {30, "BDFA0000000000B7"}},
       {{4, "17408"}, {5, "21504"}, {24, "95744"}, {25, "0"}},
       "max 95744",
       8000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    const ScenarioRun run = Run(c.scenario);
    std::vector<std::string> heads;
    std::vector<std::string> values;
    for (const auto& line : run.transcript) {
      if (line.starts_with("write ")) {
        heads.push_back(line.substr(6, 16));
      } else if (line.starts_with("value ")) {
        values.push_back(line.substr(6));
      }
    }
    for (const auto& [n, head] : c.heads) {
      ASSERT_LT(n, heads.size());
      EXPECT_EQ(heads[n], head) << "write " << n;
    }
    for (const auto& [n, value] : c.values) {
      ASSERT_LT(n, values.size());
      EXPECT_EQ(values[n], value) << "value " << n;
    }
    EXPECT_NE(std::ranges::find(run.transcript, c.range), run.transcript.end());
    EXPECT_GT(run.elapsedMs, c.longerThan);
    // The end frame goes out before the outcome shows, and the bar empties last.
    const std::vector<std::string> tail(run.transcript.end() - 3, run.transcript.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"write BDFA0000000000B7", "status Send completed",
                                              "value 0"}));
  }
}

class RepeatedRunTest : public SimTestWorld {};

// A probe answered F5, or with two bytes beginning F6 (a reply longer than
// asked, not an acknowledgement), fails; a new run then starts afresh.
TEST_F(RepeatedRunTest, AProbeNotAcknowledgedFailsAndANewRunStartsAfresh) {
  std::vector<std::string> transcript;
  RecordingWindow window(transcript);
  for (const auto& reply : {std::vector<std::uint8_t>{0xF5}, {0xF6, 0x00}}) {
    remote.answerHook = [reply](const Received& r, const Answer&) -> std::optional<Answer> {
      if (r.kind != FrameKind::Probe) {
        return std::nullopt;
      }
      Answer answer;
      answer.reply = reply;
      return answer;
    };
    EXPECT_EQ(UpdateFirmware(link, images, window).outcome, Outcome::ProbeFailed);
  }
  remote.answerHook = nullptr;
  transcript.clear();
  EXPECT_EQ(UpdateFirmware(link, images, window).outcome, Outcome::Completed);
  EXPECT_EQ(transcript.front(), "min 0") << "the old text stays until the run sets its own";
  ASSERT_EQ(remote.images().size(), 1u);
  EXPECT_TRUE(std::ranges::equal(remote.images()[0].bytes, images.Main()));
}

class IdentityTest : public SimTestWorld {};

TEST_F(IdentityTest, BytesThirtyOneAndThirtyTwoChooseThePathAndTwentyEightAndNineTheFlag) {
  // The main image's identity bytes are 00 09 00 00.
  const struct {
    std::array<std::uint8_t, 4> identity;  // reply bytes 28, 29, 31, 32
    bool loader;
    std::uint8_t flag;
  } cases[] = {
      {{0x00, 0x09, 0x01, 0x00}, false, 0}, {{0x00, 0x09, 0x00, 0x01}, false, 0},
      {{0x00, 0x09, 0x01, 0x01}, true, 0},  {{0x01, 0x09, 0x00, 0x00}, false, 0},
      {{0x00, 0x0A, 0x00, 0x00}, false, 0}, {{0x01, 0x0A, 0x00, 0x00}, false, 1},
  };
  std::vector<std::string> transcript;
  RecordingWindow window(transcript);
  for (const auto& c : cases) {
    remote.identityReply = IdentityReplyWith(c.identity);
    remote.loaderIdentityReply = remote.identityReply;
    const std::size_t before = remote.images().size();
    EXPECT_EQ(UpdateFirmware(link, images, window).outcome, Outcome::Completed);
    const auto& received = remote.images();
    ASSERT_EQ(received.size() - before, c.loader ? 2u : 1u);
    EXPECT_EQ(received.back().headerFlag, c.flag);
  }
}

TEST(TimeDelay, SleepsUntilTheFirstReadingPastTheDelayAlsoAcrossAWrap) {
  const struct {
    std::uint32_t tickStart;
    std::int32_t delay;
  } cases[] = {{0, 8000}, {0xFFFFF000u, 8000}, {0, 0}, {0xFFFFFFFFu, 0}, {5, -3}};
  for (const auto& c : cases) {
    // Readings take no time, so the ticks past the start are what the
    // sleeps let pass.
    VirtualClock clock(c.tickStart, 0);
    World world(clock);
    link::DeviceLink link(world.backend);
    RunObserver quiet;
    TimeDelay(link, c.delay, quiet);
    EXPECT_EQ(static_cast<std::int64_t>(clock.Now()), std::max(c.delay + 1, 0))
        << "start " << c.tickStart << ", delay " << c.delay;
  }
}

// Where a run can be stopped, the pause sleeps in slices, and still tells
// what is left only about once a second.
TEST(TimeDelay, SleepsInSlicesAndTellsWhatIsLeftEverySecond) {
  struct Counting final : RunObserver {
    void Pausing(std::uint32_t) override { ++told; }
    int told = 0;
  } observer;
  VirtualClock clock;
  World world(clock);
  std::stop_source stop;
  link::DeviceLink link(world.backend, stop.get_token());
  TimeDelay(link, 8000, observer);
  EXPECT_GT(clock.Now(), 8000u);
  EXPECT_LT(clock.Now(), 8100u);
  EXPECT_GE(world.backend.Slept(), 7800u) << "the pause sleeps; it does not spin on the ticks";
  EXPECT_GE(observer.told, 8);
  EXPECT_LE(observer.told, 9);
}

}  // namespace
}  // namespace corvane::sim
