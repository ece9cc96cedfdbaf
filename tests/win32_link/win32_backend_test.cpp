// The Win32 backend against the system itself: discovery under Wine, where
// no remote is plugged in, and the files it opens.
#include "link/win32/win32_backend.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "firmware/images.h"
#include "handle_count.h"
#include "link/device_link.h"
#include "protocol/update_run.h"
#include "sim/recording_window.h"

namespace corvane::link {
namespace {

TEST(Win32Discovery, FindsNoRemoteSoStartShowsNoUsbDevice) {
  const auto images = firmware::Images::Embedded().value();
  Win32Backend backend;
  DeviceLink link(backend);
  const int handlesBefore = win32_test::OpenHandleCount();
  std::vector<std::string> transcript;
  sim::RecordingWindow window(transcript);
  EXPECT_EQ(protocol::UpdateFirmware(link, images, window).cause.kind, CauseKind::None);
  EXPECT_EQ(transcript, std::vector<std::string>{"status no usb device"});
  EXPECT_EQ(win32_test::OpenHandleCount(), handlesBefore) << "the device sets were released";
}

TEST(Win32Discovery, TheSerialNumberIsTheInstancePartUnlessWindowsMadeItUp) {
  Win32Backend backend;
  const std::string start = "\\\\?\\usb#vid_ec4b&pid_7a10#";
  const std::string end = "#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}";
  EXPECT_EQ(backend.SerialNumber(start + "crv0042a7" + end), "CRV0042A7");
  EXPECT_EQ(backend.SerialNumber(start + "5&2f1a3c&0&1" + end), "");
}

// Wine offers a mouse and a keyboard as HID devices: interfaces of a class
// that is present, read through the same detail calls. A walk told to stop
// looks at no further interface.
TEST(Win32Discovery, ReadsThePathsOfPresentInterfacesAndStopsWhenTold) {
  constexpr Guid HidClass{
      0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
  Win32Backend backend;
  std::vector<std::string> paths;
  backend.VisitInterfaces(HidClass, [&](std::string_view path) {
    paths.emplace_back(path);
    return false;
  });
  if (paths.size() < 2) {
    GTEST_SKIP() << "this Wine offers fewer than two HID devices";
  }
  for (const std::string& path : paths) {
    EXPECT_TRUE(path.starts_with("\\\\?\\hid#")) << path;
    EXPECT_TRUE(path.ends_with("#{4d1e55b2-f16f-11cf-88cb-001111000030}")) << path;
  }
  int shown = 0;
  backend.VisitInterfaces(HidClass, [&](std::string_view) { return ++shown == 1; });
  EXPECT_EQ(shown, 1);
}

}  // namespace
}  // namespace corvane::link
