// A test world: one simulated remote plugged in, the link pointed at it, the
// main image loaded, on a virtual clock.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "link/device_link.h"
#include "shell/images.h"
#include "sim/scenarios.h"

namespace corvane {

class SimTestWorld : public testing::Test {
 protected:
  SimTestWorld() {
    link::UsePlatform(world.platform);
    shell::LoadMainImage();
    world.platform.onWriteCall = [this](std::span<const std::uint8_t> bytes) {
      writes.emplace_back(bytes.begin(), bytes.end());
    };
  }
  ~SimTestWorld() override {
    link::CloseDevice();
    EXPECT_EQ(world.platform.OpenHandles(), 0);
    EXPECT_EQ(world.platform.OpenEvents(), 0);
    EXPECT_EQ(world.platform.OpenDeviceSets(), 0);
    EXPECT_EQ(world.platform.misuses(), std::vector<std::string>{});
  }

  sim::VirtualClock clock;
  sim::World world{clock};
  sim::SimRemote& remote = world.remote;
  sim::SimPlatform& platform = world.platform;
  std::vector<std::vector<std::uint8_t>> writes;  // one per write call
};

}  // namespace corvane
