// What only the libusb backend does, against the simulated remote on a
// simulated USB bus: paths and pipe files from descriptors, one claim per
// connection, a remote that comes and goes, and a user without access.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/libusb/libusb_backend.h"
#include "usb_remote_testbed.h"

namespace corvane {
namespace {

constexpr std::string_view RemotePath =
    "\\\\?\\USB#VID_EC4B&PID_7A10#1-1.4#{5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15}";

class UsbLinkTest : public testing::Test {
 protected:
  ~UsbLinkTest() override {
    link::CloseDevice();
    const auto holds = bus.Holds();
    EXPECT_EQ(holds.claimedInterfaces, 0);
    EXPECT_EQ(holds.urbsInFlight, 0u);
  }

  // A probe goes out and its acknowledgement comes back.
  static void ExpectProbeAnswered() {
    const std::uint8_t probe = 0xF8;
    std::int32_t written = 0;
    EXPECT_EQ(link::WritePipe(&probe, 1, &written, 500), 1);
    std::uint8_t reply = 0;
    EXPECT_EQ(link::ReadPipe(&reply, 1, 2000), 1);
    EXPECT_EQ(reply, 0xF6);
  }

  sim::SimRemote remote;
  usbtest::UsbRemoteTestbed bus{remote};
  std::ostringstream diagnostics;
  link::LibusbBackend backend{diagnostics};
  link::BackendInUse inUse{backend};
};

TEST_F(UsbLinkTest, EveryDeviceHasAPathAndOnlyTheRemoteCarriesTheClass) {
  auto paths = backend.InterfacePaths(link::InterfaceClass);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{
                       "\\\\?\\usb#vid_05e3&pid_0608#1-1",
                       "\\\\?\\usb#vid_1d6b&pid_0002#1-0",
                       "\\\\?\\usb#vid_ec4b&pid_7a10#1-1.4#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}",
                   }));
  EXPECT_EQ(link::FindDevicePath(), RemotePath);
}

TEST_F(UsbLinkTest, PipeFilesAreTheInterfaceEndpointsInDescriptorOrder) {
  const std::string lower(
      "\\\\?\\usb#vid_ec4b&pid_7a10#1-1.4#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}");
  const std::string upper(RemotePath);
  const struct {
    std::string name;
    bool opens;
  } cases[] = {
      {upper + "\\PIPE00", true},
      {upper + "\\PIPE01", true},
      {lower + "\\pipe01", true},
      {upper + "\\PIPE02", false},  // the interface has two endpoints
      {upper, false},
      {upper + "\\PIPE0", false},
      {"\\\\?\\USB#VID_EC4B&PID_7A10#1-1.3#{5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15}\\PIPE00",
       false},                                              // nothing on that port
      {"\\\\?\\USB#VID_05E3&PID_0608#1-1\\PIPE00", false},  // the hub has no pipes
  };
  for (const auto& c : cases) {
    const link::Handle file = backend.OpenPipe(c.name, link::Pipe::Read, link::PipeUse::Transfer);
    EXPECT_EQ(file != link::InvalidHandle, c.opens) << c.name;
    backend.ClosePipe(file);
  }
}

TEST_F(UsbLinkTest, OneClaimServesAConnectionAndARemotePluggedInAgainIsFoundAnew) {
  ASSERT_EQ(link::OpenDevice(), 1);
  ExpectProbeAnswered();
  ExpectProbeAnswered();
  EXPECT_EQ(bus.Holds().claimsMade, 1) << "the held pipes' claim serves every transfer";
  link::CloseDevice();
  EXPECT_EQ(bus.Holds().claimedInterfaces, 0);

  bus.Unplug();
  EXPECT_EQ(link::OpenDevice(), 0);
  bus.Plug();  // a new device number: a new device at the same place
  ASSERT_EQ(link::OpenDevice(), 1);
  EXPECT_EQ(link::DevicePath(), RemotePath);
  ExpectProbeAnswered();
  EXPECT_EQ(bus.Holds().claimsMade, 2);
}

TEST_F(UsbLinkTest, ARemoteNotOpenToTheUserIsNoDeviceWithOneLineSayingWhy) {
  bus.RefuseAccess();
  EXPECT_EQ(link::OpenDevice(), 0);
  EXPECT_EQ(link::OpenDevice(), 0);
  bus.AllowAccess();
  const std::string said = diagnostics.str();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  for (const char* part : {"EC4B:7A10", "bus 1 port 1.4", "70-corvane-remote.rules"}) {
    EXPECT_NE(said.find(part), std::string::npos) << part << " in: " << said;
  }
}

TEST_F(UsbLinkTest, ABackendEndingWithPipesOpenAndAReadPendingGivesEverythingBack) {
  {
    std::array<std::byte, 8> into{};  // outlives the backend's transfer
    std::ostringstream unused;
    link::LibusbBackend ending(unused);
    const std::string path(RemotePath);
    const link::Handle out =
        ending.OpenPipe(path + "\\PIPE00", link::Pipe::Write, link::PipeUse::Held);
    const link::Handle in =
        ending.OpenPipe(path + "\\PIPE01", link::Pipe::Read, link::PipeUse::Transfer);
    ASSERT_NE(in, link::InvalidHandle);
    ASSERT_NE(out, link::InvalidHandle);
    ending.StartRead(in, into);
    EXPECT_EQ(ending.Wait(in, 50), link::WaitResult::TimedOut);
    EXPECT_EQ(bus.Holds().urbsInFlight, 1u);
  }
  const auto holds = bus.Holds();
  EXPECT_EQ(holds.claimedInterfaces, 0);
  EXPECT_EQ(holds.urbsInFlight, 0u);
}

}  // namespace
}  // namespace corvane
