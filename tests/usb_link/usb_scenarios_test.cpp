// Each scenario of the simulated remote that the build lists, run through
// the libusb link against the same remote on a simulated USB bus, ends as it
// does on the simulated platform: same status, same window, same progress,
// and the same images arrive byte for byte.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/libusb/libusb_platform.h"
#include "protocol/update_run.h"
#include "shell/images.h"
#include "sim/recording_window.h"
#include "sim/scenarios.h"
#include "usb_remote_testbed.h"

namespace corvane {
namespace {

std::vector<std::string> WithoutWrites(const std::vector<std::string>& transcript) {
  std::vector<std::string> shown;
  for (const auto& line : transcript) {
    if (!line.starts_with("write ")) {
      shown.push_back(line);
    }
  }
  return shown;
}

// Whether the scenario leaves the remote plugged in when the run starts.
bool RemotePresentIn(sim::World& world) {
  link::UsePlatform(world.platform);
  const bool present = !link::FindDevicePath().empty();
  link::CloseDevice();
  return present;
}

class UsbScenario : public testing::TestWithParam<std::string_view> {};

TEST_P(UsbScenario, EndsAsOnTheSimulatedPlatform) {
  shell::LoadMainImage();
  const sim::Scenario* scenario = sim::FindScenario(GetParam());
  ASSERT_NE(scenario, nullptr) << "no scenario is named " << GetParam();
  sim::VirtualClock virtualClock;
  const sim::ScenarioRun expected = sim::RunScenario(*scenario, virtualClock);

  sim::VirtualClock unused;
  sim::World world(unused);
  scenario->setUp(world);
  const bool present = RemotePresentIn(world);
  usbtest::UsbRemoteTestbed bus(world.remote);
  if (!present) {
    bus.Unplug();
  }
  std::ostringstream diagnostics;
  std::vector<std::string> transcript;
  {
    link::LibusbPlatform platform(diagnostics);
    link::UsePlatform(platform);
    sim::RecordingWindow window(transcript);
    protocol::UpdateFirmware(window);

    EXPECT_EQ(window.status, expected.status);
    EXPECT_EQ(window.closed, expected.windowClosed);
    EXPECT_EQ(window.value, expected.progressValue);
    EXPECT_EQ(WithoutWrites(transcript), WithoutWrites(expected.transcript));
    EXPECT_TRUE(link::DevicePath().empty()) << "the run ends with the link closed";
    const auto holds = bus.Holds();
    EXPECT_EQ(holds.claimedInterfaces, 0);
    EXPECT_EQ(holds.urbsInFlight, 0u);
  }
  EXPECT_EQ(diagnostics.str(), "");
  bus.WithRemote([&](const sim::SimRemote& remote) {
    EXPECT_EQ(remote.violations(), expected.violations);
    ASSERT_EQ(remote.images().size(), expected.images.size());
    for (std::size_t i = 0; i < expected.images.size(); ++i) {
      const auto& image = remote.images()[i];
      EXPECT_EQ(image.end, expected.images[i].end);
      EXPECT_EQ(image.headerFlag, expected.images[i].headerFlag);
      EXPECT_EQ(image.afterRestart, expected.images[i].afterRestart);
      EXPECT_TRUE(image.bytes == expected.images[i].bytes) << "image " << i << " byte for byte";
    }
  });
}

// The scenarios run here, as the build lists them (one test each there).
std::vector<std::string_view> ScenarioNames() {
  std::vector<std::string_view> names;
  std::string_view rest = CORVANE_USB_SCENARIOS;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    names.push_back(rest.substr(0, comma));
    rest = comma == std::string_view::npos ? "" : rest.substr(comma + 1);
  }
  return names;
}

// Every scenario is run but slow-remote: its twenty 1.5 s replies would add
// half a minute of waiting (on umockdev's always-ready node, a busy one) and
// nothing the other reply waits do not already show.
TEST(UsbScenarioList, IsEveryScenarioButSlowRemote) {
  std::vector<std::string_view> expected;
  for (const auto& scenario : sim::Scenarios()) {
    if (scenario.name != "slow-remote") {
      expected.push_back(scenario.name);
    }
  }
  EXPECT_EQ(ScenarioNames(), expected);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, UsbScenario, testing::ValuesIn(ScenarioNames()),
                         [](const testing::TestParamInfo<std::string_view>& param) {
                           std::string name(param.param);
                           for (char& c : name) {
                             c = c == '-' ? '_' : c;
                           }
                           return name;
                         });

}  // namespace
}  // namespace corvane
