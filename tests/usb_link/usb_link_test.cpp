// The libusb backend against the simulated remote on a simulated USB bus:
// the backend contract, paths and pipe files from descriptors, one claim per
// connection, a user without access (the remote listed, its serial number
// unread), and waits for a remote to arrive. No
// test may leave a claim, a URB or an open file behind.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <libusb.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "backend_contract.h"
#include "link/device_link.h"
#include "link/libusb/libusb_backend.h"
#include "usb_remote_testbed.h"

// Every enumeration the backend makes passes through here on its way to
// libusb, and is counted.
int deviceListsTaken = 0;

extern "C" ssize_t libusb_get_device_list(libusb_context* context, libusb_device*** list) {
  using Real = ssize_t (*)(libusb_context*, libusb_device***);
  static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "libusb_get_device_list"));
  ++deviceListsTaken;
  return real(context, list);
}

namespace corvane {
namespace {

// As listed, and as the link reports it.
const std::string Listed =
    "\\\\?\\usb#vid_ec4b&pid_7a10#1-1.4#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}";
const std::string RemotePath =
    "\\\\?\\USB#VID_EC4B&PID_7A10#1-1.4#{5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15}";

sim::SimRemote WithSerialNumber(std::string serial) {
  sim::SimRemote remote;
  remote.serialNumber = std::move(serial);
  return remote;
}

class UsbLink : public testing::TestWithParam<contract::Case>, public contract::Bed {
 protected:
  ~UsbLink() override {
    link.CloseDevice();
    const auto holds = bus.Holds();
    EXPECT_EQ(holds.claimedInterfaces, 0);
    EXPECT_EQ(holds.urbsInFlight, 0u);
    EXPECT_EQ(bus.FilesOpenOnTheBus(), 0);
  }
  link::Backend& backend() override { return libusb; }
  sim::SimRemote& remote() override { return simRemote; }
  void Unplug() override { bus.Unplug(); }

  sim::SimRemote simRemote = WithSerialNumber("CRV0001");
  usbtest::UsbRemoteTestbed bus{simRemote};
  link::LibusbBackend libusb;
  link::DeviceLink link{libusb};
};

TEST_P(UsbLink, KeepsTheContract) {
  contract::Check(*this, GetParam());
}

INSTANTIATE_TEST_SUITE_P(Libusb, UsbLink, testing::ValuesIn(contract::Cases()), contract::CaseName);

TEST_F(UsbLink, EveryDeviceHasAPathOnlyTheRemoteConfiguredOrNotCarriesTheClassAndAWalkCanStop) {
  std::vector<std::string> paths;
  libusb.VisitInterfaces(link::InterfaceClass, [&](std::string_view path) {
    paths.emplace_back(path);
    return false;
  });
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths, (std::vector<std::string>{"\\\\?\\usb#vid_05e3&pid_0608#1-1",
                                             "\\\\?\\usb#vid_1d6b&pid_0002#1-0", Listed}));
  int shown = 0;
  libusb.VisitInterfaces(link::InterfaceClass, [&](std::string_view) { return ++shown == 1; });
  EXPECT_EQ(shown, 1);
  EXPECT_EQ(link.FindDevicePath(), RemotePath);
  bus.ShowNoConfiguration();
  EXPECT_EQ(link.FindDevicePath(), RemotePath) << "its first configuration";
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
      {RemotePath + "\\PIPE10", false},
      {RemotePath, false},
      {RemotePath + "\\PIPE0", false},
      {"\\\\?\\USB#VID_EC4B&PID_7A10#1-1.3#{5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15}\\PIPE00",
       false},                                              // nothing on that port
      {"\\\\?\\USB#VID_05E3&PID_0608#1-1\\PIPE00", false},  // the hub has no pipes
  };
  for (const auto& c : cases) {
    const link::Opened file = libusb.OpenPipe(c.name, link::Pipe::Read, link::PipeUse::Transfer);
    EXPECT_EQ(file.file != link::InvalidHandle, c.opens) << c.name;
    EXPECT_EQ(file.cause.kind == link::CauseKind::None, c.opens) << c.name;
    libusb.ClosePipe(file.file);
  }
}

TEST_F(UsbLink, OneEnumerationOneOpenAndOneClaimServeAWholeConnection) {
  const int listsBefore = deviceListsTaken;
  ASSERT_TRUE(link.OpenDevice().open);
  for (int probe = 0; probe < 2; ++probe) {
    const std::array<std::uint8_t, 1> frame{0xF8};
    EXPECT_EQ(link.WritePipe(frame, 500).status, link::PipeStatus::Completed);
    std::array<std::uint8_t, 1> reply{};
    EXPECT_EQ(link.ReadPipe(reply, 2000).count, 1u);
    EXPECT_EQ(reply[0], 0xF6);
  }
  std::array<std::uint8_t, 8> nothing{};
  EXPECT_EQ(link.ReadPipe(nothing, 100).status, link::PipeStatus::TimedOut) << "on the tick count";
  EXPECT_EQ(deviceListsTaken - listsBefore, 1);
  EXPECT_EQ(bus.Holds().opensMade, 1);
  EXPECT_EQ(bus.Holds().claimsMade, 1);
}

TEST_F(UsbLink, ARemoteThatIsThereButRefusedIsNoDeviceWithItsCauseAndListedAsEver) {
  const auto listedSerial = [this] {
    const auto listed = link::ListRemotes(libusb);
    return listed.size() == 1 ? listed[0].serial : "listed " + std::to_string(listed.size());
  };
  EXPECT_EQ(listedSerial(), "CRV0001");
  bus.HoldForAnotherProgram();
  EXPECT_EQ(link.OpenDevice().cause.kind, link::CauseKind::HeldByAnotherProgram);
  EXPECT_EQ(listedSerial(), "CRV0001") << "read with no claim";
  bus.RefuseAccess();
  EXPECT_EQ(link.OpenDevice().cause.kind, link::CauseKind::PermissionDenied);
  EXPECT_EQ(listedSerial(), "") << "no serial number to show, the remote listed still";
  bus.Unplug();
  EXPECT_EQ(link.OpenDevice().cause.kind, link::CauseKind::None) << "simply not there";
}

TEST_F(UsbLink, AWaitLastsItsTimeUntilTheRemoteComesBackWhichOpensPastTheStaleWalk) {
  using std::chrono::steady_clock;
  ASSERT_EQ(link.FindDevicePath(), RemotePath);  // the walk keeps the remote's device
  bus.Unplug();
  const auto start = steady_clock::now();
  libusb.WaitForArrival(1000);
  EXPECT_GE(steady_clock::now() - start, std::chrono::seconds(1)) << "nothing arrived";
  bus.PlugInAfter(100);
  libusb.WaitForArrival(20000);
  EXPECT_LT(steady_clock::now() - start, std::chrono::seconds(10)) << "the arrival ends it";
  // Back as a new device, which the walk's list does not hold.
  const link::Opened file =
      libusb.OpenPipe(RemotePath + "\\PIPE00", link::Pipe::Write, link::PipeUse::Held);
  EXPECT_NE(file.file, link::InvalidHandle) << file.cause.text;
  libusb.ClosePipe(file.file);
}

TEST_F(UsbLink, ABackendEndingWithPipesOpenAndAReadPendingGivesEverythingBack) {
  std::array<std::byte, 8> into{};  // outlives the backend's transfer
  {
    link::LibusbBackend ending;
    const link::Handle out =
        ending.OpenPipe(RemotePath + "\\PIPE00", link::Pipe::Write, link::PipeUse::Held).file;
    const link::Handle in =
        ending.OpenPipe(RemotePath + "\\PIPE01", link::Pipe::Read, link::PipeUse::Transfer).file;
    ASSERT_NE(out, link::InvalidHandle);
    ASSERT_NE(in, link::InvalidHandle);
    ending.StartRead(in, into);
    EXPECT_EQ(ending.Wait(in, 50), link::WaitResult::TimedOut);
    EXPECT_EQ(bus.Holds().urbsInFlight, 1u);
  }
}

}  // namespace
}  // namespace corvane
