#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/device_link.h"
#include "sim_test_world.h"

namespace corvane::link {
namespace {

using namespace std::string_literals;

const std::string Remote =
    "\\\\?\\usb#vid_ec4b&pid_7a10#5&2f1a3c&0&1#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}";
const std::string RemoteUpper =
    "\\\\?\\USB#VID_EC4B&PID_7A10#5&2F1A3C&0&1#{5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15}";

class FindDevicePathTest : public SimTestWorld {};

// The simulated remote is unplugged: only the paths listed are there.
TEST_F(FindDevicePathTest, TakesTheFirstPathCarryingAllThreeTextsAndLooksNoFurther) {
  backend.SetPresent(false);
  const struct {
    const char* what;
    std::vector<std::string> paths;
    std::string expected;
    int looked;
  } cases[] = {
      {"lower case, upper-cased whole", {Remote}, RemoteUpper, 1},
      {"decoys, the remote, a second remote",
       {"\\\\?\\hid#vid_ec4b", "\\\\?\\usb#vid_ec4b&pid_7a10#5&1#{00000000-0000-0000-0000-0}",
        Remote, "\\\\?\\usb#vid_ec4b&pid_7a10#5&99&0&2#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}"},
       RemoteUpper,
       3},
      {"no vendor text",
       {"\\\\?\\usb#vid_1234&pid_7a10#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}"},
       "",
       1},
      {"no product text",
       {"\\\\?\\usb#vid_ec4b&pid_1234#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}"},
       "",
       1},
      {"product before vendor",
       {"x#PID_7A10&VID_EC4B#5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15"},
       "X#PID_7A10&VID_EC4B#5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15",
       1},
      {"cut at its NUL", {Remote + "\0\0junk"s}, RemoteUpper, 1},
      {"tokens only behind the NUL", {"\\\\?\\usb\0"s + Remote}, "\\\\?\\USB", 1},
      {"none present", {}, "", 0},
  };
  for (const auto& c : cases) {
    backend.listedBefore = c.paths;
    const int before = backend.InterfacesShown();
    EXPECT_EQ(link.FindDevicePath(), c.expected) << c.what;
    EXPECT_EQ(link.DevicePath(), c.expected) << c.what;
    EXPECT_EQ(backend.InterfacesShown() - before, c.looked) << c.what;
  }
}

// The remote listed first has no serial number: a name is its id or its
// own serial number, never another remote's. Once found, the remote is found
// by its place, as when it comes back from its loader without a serial
// number.
TEST_F(FindDevicePathTest, FindsTheRemoteThatGoesByTheNameItsIdOrSerialNumber) {
  remote.serialNumber = "Crv-7";
  backend.listedBefore = {sim::SimRemotePath(2)};
  const struct {
    const char* name;
    std::string found;  // its id
  } cases[] = {
      {"sim-1", "SIM-1"}, {"cRV-7", "SIM-1"}, {"SIM-2", "SIM-2"}, {"Crv", ""}, {"", "SIM-2"}};
  for (const auto& c : cases) {
    DeviceLink named(backend, {}, c.name);
    const std::string path = named.FindDevicePath();
    EXPECT_EQ(path.empty() ? "" : RemoteId(path), c.found) << c.name;
    remote.serialNumber.clear();
    EXPECT_EQ(named.FindDevicePath(), path) << c.name;
    remote.serialNumber = "Crv-7";
  }
}

TEST(RemoteId, IsTheInstancePartUpperCased) {
  EXPECT_EQ(RemoteId(Remote), "5&2F1A3C&0&1");
  EXPECT_EQ(RemoteId("no parts\0behind"s), "NO PARTS");
}

}  // namespace
}  // namespace corvane::link
