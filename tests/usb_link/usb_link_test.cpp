// The libusb backend against the simulated remote on a simulated USB bus:
// the backend contract, paths and pipe files from descriptors, one claim per
// connection, and a user without access. No test may leave a claim or a URB
// behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <sstream>
#include <string>
#include <vector>

#include "backend_contract.h"
#include "link/device_link.h"
#include "link/libusb/libusb_backend.h"
#include "usb_remote_testbed.h"

namespace corvane {
namespace {

// As listed, and as the link reports it.
const std::string Listed =
    "\\\\?\\usb#vid_ec4b&pid_7a10#1-1.4#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}";
const std::string RemotePath =
    "\\\\?\\USB#VID_EC4B&PID_7A10#1-1.4#{5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15}";

class UsbLink : public testing::TestWithParam<contract::Case>, public contract::Bed {
 protected:
  ~UsbLink() override {
    link::CloseDevice();
    const auto holds = bus.Holds();
    EXPECT_EQ(holds.claimedInterfaces, 0);
    EXPECT_EQ(holds.urbsInFlight, 0u);
  }
  link::Backend& backend() override { return libusb; }
  sim::SimRemote& remote() override { return simRemote; }
  void Unplug() override { bus.Unplug(); }

  sim::SimRemote simRemote;
  usbtest::UsbRemoteTestbed bus{simRemote};
  std::ostringstream diagnostics;
  link::LibusbBackend libusb{diagnostics};
  link::BackendInUse inUse{libusb};
};

TEST_P(UsbLink, KeepsTheContract) {
  contract::Check(*this, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Libusb, UsbLink, testing::ValuesIn(contract::Cases()), contract::CaseName);

TEST_F(UsbLink, EveryDeviceHasAPathAndOnlyTheRemoteCarriesTheClass) {
  auto paths = libusb.InterfacePaths(link::InterfaceClass);
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{"\\\\?\\usb#vid_05e3&pid_0608#1-1",
                                             "\\\\?\\usb#vid_1d6b&pid_0002#1-0", Listed}));
  EXPECT_EQ(link::FindDevicePath(), RemotePath);
}

TEST_F(UsbLink, PipeFilesAreTheInterfaceEndpointsInDescriptorOrder) {
  const struct {
    std::string name;
    bool opens;
  } cases[] = {
      {RemotePath + "\\PIPE00", true},
      {RemotePath + "\\PIPE01", true},
      {Listed + "\\pipe01", true},
      {RemotePath + "\\PIPE02", false},  // the interface has two endpoints
      {RemotePath, false},
      {RemotePath + "\\PIPE0", false},
      {"\\\\?\\USB#VID_EC4B&PID_7A10#1-1.3#{5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15}\\PIPE00",
       false},                                              // nothing on that port
      {"\\\\?\\USB#VID_05E3&PID_0608#1-1\\PIPE00", false},  // the hub has no pipes
  };
  for (const auto& c : cases) {
    const link::Handle file = libusb.OpenPipe(c.name, link::Pipe::Read, link::PipeUse::Transfer);
    EXPECT_EQ(file != link::InvalidHandle, c.opens) << c.name;
    libusb.ClosePipe(file);
  }
}

TEST_F(UsbLink, OneClaimServesAWholeConnection) {
  ASSERT_EQ(link::OpenDevice(), 1);
  for (int probe = 0; probe < 2; ++probe) {
    const std::uint8_t frame = 0xF8;
    std::int32_t written = 0;
    EXPECT_EQ(link::WritePipe(&frame, 1, &written, 500), 1);
    std::uint8_t reply = 0;
    EXPECT_EQ(link::ReadPipe(&reply, 1, 2000), 1);
    EXPECT_EQ(reply, 0xF6);
  }
  EXPECT_EQ(bus.Holds().claimsMade, 1);
}

TEST_F(UsbLink, ARemoteNotOpenToTheUserIsNoDeviceWithOneLineSayingWhy) {
  bus.RefuseAccess();
  EXPECT_EQ(link::OpenDevice(), 0);
  EXPECT_EQ(link::OpenDevice(), 0);
  const std::string said = diagnostics.str();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  for (const char* part : {"EC4B:7A10", "bus 1 port 1.4", "70-corvane-remote.rules"}) {
    EXPECT_NE(said.find(part), std::string::npos) << part << " in: " << said;
  }
}

TEST_F(UsbLink, ABackendEndingWithPipesOpenAndAReadPendingGivesEverythingBack) {
  std::array<std::byte, 8> into{};  // outlives the backend's transfer
  {
    link::LibusbBackend ending(diagnostics);
    const link::Handle out =
        ending.OpenPipe(RemotePath + "\\PIPE00", link::Pipe::Write, link::PipeUse::Held);
    const link::Handle in =
        ending.OpenPipe(RemotePath + "\\PIPE01", link::Pipe::Read, link::PipeUse::Transfer);
    ASSERT_NE(out, link::InvalidHandle);
    ASSERT_NE(in, link::InvalidHandle);
    ending.StartRead(in, into);
    EXPECT_EQ(ending.Wait(in, 50), link::WaitResult::TimedOut);
    EXPECT_EQ(bus.Holds().urbsInFlight, 1u);
  }
}

}  // namespace
}  // namespace corvane
