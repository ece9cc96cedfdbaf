#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/device_link.h"
#include "sim/platform.h"

namespace corvane::link {
namespace {

using namespace std::string_literals;

const std::string Remote =
    "\\\\?\\usb#vid_ec4b&pid_7a10#5&2f1a3c&0&1#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}";
const std::string SecondRemote =
    "\\\\?\\usb#vid_ec4b&pid_7a10#5&99&0&2#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}";

std::string Upper(std::string text) {
  for (char& c : text) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return text;
}

class DiscoveryTest : public testing::Test {
 protected:
  DiscoveryTest() { UsePlatform(platform); }
  ~DiscoveryTest() override {
    EXPECT_EQ(platform.OpenDeviceSets(), 0);
    EXPECT_EQ(platform.misuses(), std::vector<std::string>{});
  }
  void Plug(const std::string& path) { platform.AddInterface(path, &remote); }

  sim::VirtualClock clock;
  sim::SimPlatform platform{clock};
  sim::SimRemote remote;
};

TEST_F(DiscoveryTest, TakesTheFirstInterfaceCarryingAllThreeTexts) {
  const struct {
    const char* what;
    std::vector<std::string> interfaces;
    std::string expected;
  } cases[] = {
      {"lower case, upper-cased whole", {Remote}, Upper(Remote)},
      {"first of two remotes", {SecondRemote, Remote}, Upper(SecondRemote)},
      {"no class text",
       {"\\\\?\\usb#vid_ec4b&pid_7a10#5&1#{00000000-0000-0000-0000-000000000000}"},
       ""},
      {"other vendor first",
       {"\\\\?\\usb#vid_1234&pid_7a10#1#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}", Remote},
       Upper(Remote)},
      {"product before vendor",
       {"\\\\?\\x#PID_7A10&VID_EC4B#{5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15}"},
       "\\\\?\\X#PID_7A10&VID_EC4B#{5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15}"},
      {"none present", {}, ""},
  };
  for (const auto& c : cases) {
    sim::SimPlatform fresh(clock);
    UsePlatform(fresh);
    for (const auto& path : c.interfaces) {
      fresh.AddInterface(path, &remote);
    }
    EXPECT_EQ(FindDevicePath(), c.expected) << c.what;
    EXPECT_EQ(DevicePath(), c.expected) << c.what;
    EXPECT_EQ(fresh.OpenDeviceSets(), 0) << c.what;
    EXPECT_EQ(fresh.misuses(), std::vector<std::string>{}) << c.what;
  }
  UsePlatform(platform);
}

TEST_F(DiscoveryTest, NothingFoundClearsAnEarlierPath) {
  Plug(Remote);
  ASSERT_FALSE(FindDevicePath().empty());
  platform.SetPresent(&remote, false);
  EXPECT_EQ(FindDevicePath(), "");
  EXPECT_EQ(DevicePath(), "");
}

TEST_F(DiscoveryTest, BadDetailsAreSkippedWithoutWritingPastTheBuffer) {
  Plug(Remote);
  // Sizes with no room for a path, or too small for the whole path (cut, so
  // its class text is missing); ASan watches the buffer.
  for (const std::uint32_t size : {0u, 1u, 3u, 4u, 5u, 40u}) {
    platform.faults.reportedDetailSize = size;
    EXPECT_EQ(FindDevicePath(), "") << "reported size " << size;
  }
  platform.faults.reportedDetailSize.reset();
  platform.faults.detailWithoutPath = true;
  EXPECT_EQ(FindDevicePath(), "");
  platform.faults.detailWithoutPath = false;
  platform.faults.noDeviceSet = true;
  EXPECT_EQ(FindDevicePath(), "");
}

TEST(CutAtNul, KeepsWhatComesBeforeTheFirstNul) {
  EXPECT_EQ(CutAtNul("abc\0def"s), "abc");
  EXPECT_EQ(CutAtNul("abcdef"), "abcdef");
  EXPECT_EQ(CutAtNul("\0abc"s), "");
  EXPECT_EQ(CutAtNul(""), "");
}

}  // namespace
}  // namespace corvane::link
