// Every scenario of the simulated remote, run through the libusb link
// against the same remote on a simulated USB bus, ends as it does on the
// simulated platform: same status, same window, same progress, and the same
// images arrive byte for byte.
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
  ASSERT_NE(scenario, nullptr);
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

std::vector<std::string_view> ScenarioNames() {
  std::vector<std::string_view> names;
  for (const auto& scenario : sim::Scenarios()) {
    names.push_back(scenario.name);
  }
  return names;
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
