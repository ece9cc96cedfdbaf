// A test world: one simulated remote plugged in, a link over its backend,
// the embedded images, on a virtual clock. Every test leaves the link closed
// and the backend used by the contract.
#pragma once

#include <gtest/gtest.h>

#include <vector>

#include "firmware/images.h"
#include "link/device_link.h"
#include "sim/scenarios.h"

namespace corvane {

class SimTestWorld : public testing::Test {
 protected:
  SimTestWorld() {
    backend.onWriteCall = [this](std::span<const std::uint8_t> bytes) {
      writes.emplace_back(bytes.begin(), bytes.end());
    };
  }
  ~SimTestWorld() override {
    link.CloseDevice();
    EXPECT_EQ(backend.OpenFiles(), 0);
    EXPECT_EQ(backend.misuses(), std::vector<std::string>{});
  }

  const firmware::Images images = firmware::Images::Embedded().value();
  sim::VirtualClock clock;
  sim::World world{clock};
  sim::SimRemote& remote = world.remote;
  sim::SimBackend& backend = world.backend;
  link::DeviceLink link{world.backend};
  std::vector<std::vector<std::uint8_t>> writes;  // one per write call
};

}  // namespace corvane
