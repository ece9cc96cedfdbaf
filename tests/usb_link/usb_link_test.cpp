// The libusb link at the level of its operations, against the simulated
// remote on a simulated USB bus.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/libusb/libusb_platform.h"
#include "protocol/status_texts.h"
#include "protocol/update_run.h"
#include "shell/images.h"
#include "sim/recording_window.h"
#include "usb_remote_testbed.h"

namespace corvane {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view RemotePath =
    "\\\\?\\USB#VID_EC4B&PID_7A10#1-1.4#{5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15}";

class UsbLinkTest : public testing::Test {
 protected:
  UsbLinkTest() { link::UsePlatform(platform); }
  ~UsbLinkTest() override {
    link::CloseDevice();
    const auto holds = bus.Holds();
    EXPECT_EQ(holds.claimedInterfaces, 0);
    EXPECT_EQ(holds.urbsInFlight, 0u);
  }

  std::vector<std::string> Paths() {
    std::vector<std::string> paths;
    const link::DeviceSet set = platform.SetupDiGetClassDevs(link::InterfaceClass);
    link::InterfaceRecord record;
    for (std::uint32_t i = 0;
         platform.SetupDiEnumDeviceInterfaces(set, link::InterfaceClass, i, record); ++i) {
      std::uint32_t size = 0;
      platform.SetupDiGetDeviceInterfaceDetail(set, record, {}, &size);
      std::vector<std::byte> detail(size);
      const std::uint32_t sizeField = platform.DetailRecordSize();
      std::memcpy(detail.data(), &sizeField, sizeof sizeField);
      platform.SetupDiGetDeviceInterfaceDetail(set, record, detail, nullptr);
      paths.emplace_back(reinterpret_cast<const char*>(detail.data()) + link::DetailPathOffset);
    }
    platform.SetupDiDestroyDeviceInfoList(set);
    return paths;
  }

  sim::SimRemote remote;
  usbtest::UsbRemoteTestbed bus{remote};
  std::ostringstream diagnostics;
  link::LibusbPlatform platform{diagnostics};
};

TEST_F(UsbLinkTest, EveryDeviceHasAPathAndOnlyTheRemoteCarriesTheClass) {
  auto paths = Paths();
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
    const link::Handle file = platform.CreateFile(c.name, {});
    EXPECT_EQ(file != link::InvalidHandle, c.opens) << c.name;
    if (file != link::InvalidHandle) {
      platform.CloseHandle(file);
    }
  }
}

TEST_F(UsbLinkTest, ARemotePluggedInLaterIsFoundByTheNextOpen) {
  bus.Unplug();
  EXPECT_EQ(link::OpenDevice(), 0);
  bus.Plug();
  EXPECT_EQ(link::OpenDevice(), 1);
  EXPECT_EQ(link::DevicePath(), RemotePath);
  EXPECT_EQ(bus.Holds().claimedInterfaces, 1) << "both pipe files share one claim";
  link::CloseDevice();
  EXPECT_EQ(bus.Holds().claimedInterfaces, 0);
}

TEST_F(UsbLinkTest, ProbeAndReplyCrossThePipes) {
  ASSERT_EQ(link::OpenDevice(), 1);
  const std::uint8_t probe = 0xF8;
  std::int32_t written = 0;
  EXPECT_EQ(link::WritePipe(&probe, 1, &written, 200), 1);
  EXPECT_EQ(written, 1);
  std::array<std::uint8_t, 8> reply{};
  EXPECT_EQ(link::ReadPipe(reply.data(), 1, 2000), 1);
  EXPECT_EQ(reply[0], 0xF6);
}

TEST_F(UsbLinkTest, AReadWithNoReplyTimesOutAndLeavesTheBufferAlone) {
  ASSERT_EQ(link::OpenDevice(), 1);
  std::array<std::uint8_t, 8> reply;
  reply.fill(0x5A);
  const auto start = Clock::now();
  EXPECT_EQ(link::ReadPipe(reply.data(), 8, 100), link::TransferTimedOut);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
  EXPECT_EQ(reply[0], 0x5A);
  EXPECT_EQ(bus.Holds().urbsInFlight, 0u) << "the cancelled read was given back";
}

TEST_F(UsbLinkTest, ARemoteThatVanishesFailsTheTransfersCleanly) {
  ASSERT_EQ(link::OpenDevice(), 1);
  bus.Unplug();
  const std::uint8_t probe = 0xF8;
  std::int32_t written = -1;
  const std::int32_t result = link::WritePipe(&probe, 1, &written, 200);
  EXPECT_FALSE(result == 1 && written == 1) << "no write completes on a device gone";
  std::array<std::uint8_t, 8> reply{};
  EXPECT_LE(link::ReadPipe(reply.data(), 8, 100), 0);
  link::CloseDevice();
  EXPECT_EQ(link::OpenDevice(), 0);
}

TEST_F(UsbLinkTest, ARemoteNotOpenToTheUserIsNoDeviceWithOneLineSayingWhy) {
  bus.RefuseAccess();
  shell::LoadMainImage();
  std::vector<std::string> transcript;
  sim::RecordingWindow window(transcript);
  protocol::UpdateFirmware(window);
  protocol::UpdateFirmware(window);
  bus.AllowAccess();
  EXPECT_EQ(window.status, protocol::NoDeviceText);
  EXPECT_FALSE(window.closed);
  const std::string said = diagnostics.str();
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
  for (const char* part : {"EC4B:7A10", "bus 1 port 1.4", "70-corvane-remote.rules"}) {
    EXPECT_NE(said.find(part), std::string::npos) << part << " in: " << said;
  }
  bus.WithRemote([](const sim::SimRemote& r) { EXPECT_TRUE(r.images().empty()); });
}

}  // namespace
}  // namespace corvane
