// The update scenarios run through the Win32 link, with real handles,
// events, waits and cancelling, against the simulated remote served over
// real named pipes. Each run must end as the same scenario ends on the
// simulated platform's virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "handle_count.h"
// windows.h maps LoadImage to the icon and bitmap loader LoadImageA.
#undef LoadImage
#include "link/device_link.h"
#include "pipe_device_platform.h"
#include "pipe_remote.h"
#include "protocol/update_run.h"
#include "shell/images.h"
#include "sim/recording_window.h"
#include "sim/scenarios.h"

namespace corvane::win32_test {
namespace {

// Scenarios whose fault is the platform's and not the remote's: a wait that
// fails, and a write that completes with part of the frame, have no
// counterpart on a named pipe.
constexpr std::string_view PlatformOnly[] = {"probe-write-fails", "block-short-write"};

std::string Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char Digits[] = "0123456789ABCDEF";
  std::string text;
  for (const std::uint8_t byte : bytes) {
    text += Digits[byte >> 4];
    text += Digits[byte & 0x0F];
  }
  return text;
}

// Whether the scenario plugs its remote in: its simulated platform then
// shows the remote's interface.
bool PluggedIn(sim::World& world) {
  sim::SimPlatform& platform = world.platform;
  const link::DeviceSet set = platform.SetupDiGetClassDevs(link::InterfaceClass);
  link::InterfaceRecord record;
  const bool found = platform.SetupDiEnumDeviceInterfaces(set, link::InterfaceClass, 0, record);
  platform.SetupDiDestroyDeviceInfoList(set);
  return found;
}

struct PipeRun {
  std::vector<std::string> transcript;
  sim::RecordingWindow window{transcript};
  std::vector<sim::ReceivedImage> images;
  std::vector<std::vector<std::uint8_t>> frames;
  std::vector<std::string> violations;
  std::vector<std::string> unmapped;
  int openDeviceSets = 0;
  int handlesBefore = 0;
  int handlesAfter = 0;
  double seconds = 0;
};

void RunOverPipes(const sim::Scenario& scenario, PipeRun& run) {
  sim::VirtualClock unused;
  sim::World world(unused);
  scenario.setUp(world);
  run.handlesBefore = OpenHandleCount();
  {
    PipeRemote remote(world.remote, PluggedIn(world));
    PipeDevicePlatform platform(remote);
    platform.onWriteCall = [&run](std::span<const std::uint8_t> bytes) {
      run.transcript.push_back("write " + Hex(bytes));
    };
    link::UsePlatform(platform);
    const auto start = std::chrono::steady_clock::now();
    protocol::UpdateFirmware(run.window);
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    remote.Stop();
    run.frames = remote.Frames();
    run.unmapped = remote.Unmapped();
    run.openDeviceSets = platform.OpenDeviceSets();
  }
  run.handlesAfter = OpenHandleCount();
  run.images = world.remote.images();
  run.violations = world.remote.violations();
}

class PipeScenario : public testing::TestWithParam<std::string_view> {
 protected:
  PipeScenario() { shell::LoadMainImage(); }
};

TEST_P(PipeScenario, EndsAsOnTheSimulatedPlatform) {
  const sim::Scenario* scenario = sim::FindScenario(GetParam());
  ASSERT_NE(scenario, nullptr);
  sim::VirtualClock clock;
  const sim::ScenarioRun expected = sim::RunScenario(*scenario, clock);

  PipeRun run;
  RunOverPipes(*scenario, run);
  std::printf("[ measured ] %.*s over named pipes: %.2f s\n",
              static_cast<int>(scenario->name.size()), scenario->name.data(), run.seconds);

  // Every write call, every progress step and the one outcome, in order.
  EXPECT_EQ(run.transcript, expected.transcript);
  EXPECT_EQ(run.window.status, expected.status);
  EXPECT_EQ(run.window.closed, expected.windowClosed);
  EXPECT_EQ(run.window.value, expected.progressValue);
  EXPECT_EQ(run.violations, std::vector<std::string>{});
  EXPECT_EQ(run.unmapped, std::vector<std::string>{});

  // The remote took the images byte for byte, in the order they were sent.
  ASSERT_EQ(run.images.size(), expected.images.size());
  for (std::size_t i = 0; i < run.images.size(); ++i) {
    const auto& image = run.images[i];
    EXPECT_EQ(image.end, expected.images[i].end);
    EXPECT_EQ(image.headerFlag, expected.images[i].headerFlag);
    EXPECT_EQ(image.afterRestart, expected.images[i].afterRestart);
    const auto sent = image.end == sim::FrameKind::LoaderEnd
                          ? shell::LoadImage(shell::LoaderImageId)
                          : shell::MainImage;
    EXPECT_TRUE(image.bytes == sent) << "image " << i;
  }
  // Each frame it took is the one the link wrote last; a stalled write's
  // frame is never taken.
  std::vector<std::string> written;
  for (const auto& line : run.transcript) {
    if (line.starts_with("write ")) {
      written.push_back(line.substr(6));
    }
  }
  std::vector<std::string> taken;
  for (const auto& frame : run.frames) {
    taken.push_back(Hex(frame));
  }
  EXPECT_LE(taken.size(), written.size());
  EXPECT_TRUE(std::equal(taken.begin(), taken.end(), written.begin()))
      << "frames taken in the order written";

  // The link is closed and nothing of the run is left open.
  EXPECT_EQ(link::DevicePath(), "");
  EXPECT_EQ(run.openDeviceSets, 0);
  EXPECT_EQ(run.handlesAfter, run.handlesBefore);
}

std::vector<std::string_view> RemoteScenarios() {
  std::vector<std::string_view> names;
  for (const sim::Scenario& scenario : sim::Scenarios()) {
    if (std::find(std::begin(PlatformOnly), std::end(PlatformOnly), scenario.name) ==
        std::end(PlatformOnly)) {
      names.push_back(scenario.name);
    }
  }
  return names;
}

std::string TestName(const testing::TestParamInfo<std::string_view>& info) {
  std::string name(info.param);
  std::replace(name.begin(), name.end(), '-', '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, PipeScenario, testing::ValuesIn(RemoteScenarios()), TestName);

// A read ends by its time-out however the remote behaves: one that never
// answers gives a time-out, one whose reads come back empty gives 0.
TEST(PipeRead, EndsWithinItsTimeOutWhateverTheRemoteDoes) {
  const struct {
    const char* what;
    sim::ReadMode mode;
    std::int32_t timeout;
    std::int32_t result;
  } cases[] = {
      {"never answers", sim::ReadMode::Replies, 1000, link::TransferTimedOut},
      {"never answers", sim::ReadMode::Replies, 2000, link::TransferTimedOut},
      {"reads come back empty", sim::ReadMode::Empty, 1000, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    sim::SimRemote remote;
    remote.answerHook = [&c](const sim::Received&, const sim::Answer&) {
      sim::Answer answer;
      answer.mode = c.mode;
      return std::optional<sim::Answer>(answer);
    };
    PipeRemote served(remote, true);
    PipeDevicePlatform platform(served);
    link::UsePlatform(platform);
    ASSERT_EQ(link::OpenDevice(), 1);
    const std::uint8_t probe = 0xF8;
    std::int32_t written = 0;
    ASSERT_EQ(link::WritePipe(&probe, 1, &written, 200), 1);
    std::array<std::uint8_t, 8> buffer;
    buffer.fill(0xEE);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(link::ReadPipe(buffer.data(), 8, c.timeout), c.result);
    const auto took = std::chrono::steady_clock::now() - start;
    std::printf("[ measured ] read, remote %s, time-out %d ms: %lld ms\n", c.what, c.timeout,
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xEE), 8) << "the buffer is untouched";
    link::CloseDevice();
  }
}

}  // namespace
}  // namespace corvane::win32_test
