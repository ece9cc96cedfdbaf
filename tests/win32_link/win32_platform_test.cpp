// The Win32 platform's calls keep the seam's contracts on real pipes,
// events and waits, and find no remote where none is plugged in.
#include <windows.h>
// windows.h maps these to their ...A forms.
#undef CreateFile
#undef CreateEvent

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "handle_count.h"
#include "link/device_link.h"
#include "link/win32/win32_platform.h"
#include "protocol/update_run.h"
#include "shell/images.h"
#include "sim/recording_window.h"

namespace corvane::link {
namespace {

using win32_test::OpenHandleCount;

TEST(Win32Discovery, FindsNoRemoteWhereNoneIsPluggedIn) {
  Win32Platform platform;
  const DeviceSet set = platform.SetupDiGetClassDevs(InterfaceClass);
  ASSERT_NE(set, InvalidDeviceSet);
  InterfaceRecord record;
  EXPECT_FALSE(platform.SetupDiEnumDeviceInterfaces(set, InterfaceClass, 0, record));
  platform.SetupDiDestroyDeviceInfoList(set);

  UsePlatform(platform);
  shell::LoadMainImage();
  const int handlesBefore = OpenHandleCount();
  EXPECT_EQ(FindDevicePath(), "");
  std::vector<std::string> transcript;
  sim::RecordingWindow window(transcript);
  protocol::UpdateFirmware(window);
  EXPECT_EQ(transcript, std::vector<std::string>{"status no usb device"});
  EXPECT_FALSE(window.closed);
  EXPECT_EQ(DevicePath(), "");
  EXPECT_EQ(OpenHandleCount(), handlesBefore) << "the device sets were released";
}

// Wine offers a mouse and a keyboard as HID devices: interfaces of a class
// that is present, read the way discovery reads them.
TEST(Win32Discovery, ReadsThePathOfAPresentInterface) {
  constexpr Guid HidClass{
      0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
  Win32Platform platform;
  const DeviceSet set = platform.SetupDiGetClassDevs(HidClass);
  ASSERT_NE(set, InvalidDeviceSet);
  InterfaceRecord record;
  if (!platform.SetupDiEnumDeviceInterfaces(set, HidClass, 0, record)) {
    platform.SetupDiDestroyDeviceInfoList(set);
    GTEST_SKIP() << "this Wine offers no HID device";
  }
  std::uint32_t required = 0;
  platform.SetupDiGetDeviceInterfaceDetail(set, record, {}, &required);
  ASSERT_GT(required, DetailPathOffset);
  std::vector<std::byte> detail(std::size_t{required} + 1);
  const std::uint32_t recordSize = platform.DetailRecordSize();
  std::memcpy(detail.data(), &recordSize, sizeof recordSize);
  platform.SetupDiGetDeviceInterfaceDetail(set, record, std::span(detail.data(), required),
                                           nullptr);
  const std::string path(reinterpret_cast<const char*>(detail.data()) + DetailPathOffset);
  EXPECT_EQ(path.size() + DetailPathOffset + 1, required) << path;
  EXPECT_TRUE(path.starts_with("\\\\?\\hid#")) << path;
  EXPECT_TRUE(path.ends_with("#{4d1e55b2-f16f-11cf-88cb-001111000030}")) << path;
  platform.SetupDiDestroyDeviceInfoList(set);
}

TEST(Win32Files, OpensOnlyWhatExistsAndInheritsOnlyWhenAsked) {
  Win32Platform platform;
  EXPECT_EQ(platform.CreateFile("\\\\.\\pipe\\corvane-no-such-pipe", {GenericRead, 0, false, true}),
            InvalidHandle);
  const std::string name = "\\\\.\\pipe\\corvane-inherit-" + std::to_string(GetCurrentProcessId());
  for (const bool inherit : {false, true}) {
    const HANDLE server =
        CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_MESSAGE, 1, 0, 0, 0, nullptr);
    const Handle client =
        platform.CreateFile(name, {GenericRead | GenericWrite, FileShareRead, inherit, true});
    ASSERT_NE(client, InvalidHandle);
    DWORD flags = 0;
    GetHandleInformation(reinterpret_cast<HANDLE>(client), &flags);
    EXPECT_EQ((flags & HANDLE_FLAG_INHERIT) != 0, inherit);
    platform.CloseHandle(client);
    CloseHandle(server);
  }
}

TEST(Win32Events, StartSignalledResetByHandAndAreCounted) {
  Win32Platform platform;
  const int before = OpenHandleCount();
  const Event event = platform.CreateEvent();
  ASSERT_NE(event, 0u);
  EXPECT_EQ(OpenHandleCount(), before + 1) << "the handle count sees every handle";
  // Signalled at the start, and a wait does not reset it: manual reset.
  EXPECT_EQ(platform.WaitForSingleObject(event, 0), WaitObject0);
  EXPECT_EQ(platform.WaitForSingleObject(event, 0), WaitObject0);
  platform.ResetEvent(event);
  EXPECT_EQ(platform.WaitForSingleObject(event, 0), WaitTimeout);
  platform.CloseEvent(event);
  EXPECT_EQ(OpenHandleCount(), before);
}

// One message pipe with no buffer, its server end driven by the test.
struct PipePair {
  explicit PipePair(Win32Platform& platform) {
    static int made = 0;
    const std::string name = "\\\\.\\pipe\\corvane-pair-" + std::to_string(GetCurrentProcessId()) +
                             "-" + std::to_string(++made);
    server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX,
                              PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, 1, 0, 0, 0, nullptr);
    client = platform.CreateFile(name, {GenericRead | GenericWrite, FileShareRead, true, true});
  }
  void CloseServer() {
    CloseHandle(server);
    server = INVALID_HANDLE_VALUE;
  }
  HANDLE server;
  Handle client;
};

enum class ServerDoes { Replies, SendsEmptyMessage, ReadsFrame, NothingAtAll, IsGone };

TEST(Win32Transfers, KeepTheSeamsContract) {
  const struct {
    const char* what;
    bool isRead;
    ServerDoes server;
    std::uint32_t wait;
    bool completed;
    std::uint32_t count;
  } cases[] = {
      {"read answered", true, ServerDoes::Replies, WaitObject0, true, 5},
      // Right after a completed transfer, so that its status is still in the
      // record: a transfer that never started must not report it.
      {"read failing at once", true, ServerDoes::IsGone, WaitObject0, false, 0},
      {"read of an empty message", true, ServerDoes::SendsEmptyMessage, WaitObject0, true, 0},
      {"read never answered", true, ServerDoes::NothingAtAll, WaitTimeout, false, 0},
      {"write taken", false, ServerDoes::ReadsFrame, WaitObject0, true, 6},
      {"write failing at once", false, ServerDoes::IsGone, WaitObject0, false, 0},
      {"write never taken", false, ServerDoes::NothingAtAll, WaitTimeout, false, 0},
  };
  Win32Platform platform;
  Overlap overlap;  // one record for every transfer, as the link keeps it
  const std::array<std::byte, 6> frame{std::byte{0xAD}, std::byte{0xFA}, std::byte{1},
                                       std::byte{2},    std::byte{3},    std::byte{4}};
  // Wine opens a handle of its own for the process's first pipe transfer;
  // leaks show as handles gained by the second pass.
  int handlesAfterFirstPass = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (const auto& c : cases) {
      SCOPED_TRACE(c.what);
      PipePair pipe(platform);
      ASSERT_NE(pipe.client, InvalidHandle);
      overlap.hEvent = platform.CreateEvent();
      if (c.server == ServerDoes::IsGone) {
        pipe.CloseServer();
      }
      std::array<std::byte, 8> buffer{};
      if (c.isRead) {
        platform.ReadFile(pipe.client, buffer.data(), buffer.size(), overlap);
      } else {
        platform.WriteFile(pipe.client, frame.data(), frame.size(), overlap);
      }
      const std::array<char, 5> reply{'h', 'e', 'l', 'l', 'o'};
      std::array<char, 16> received{};
      DWORD moved = 0;
      switch (c.server) {
        case ServerDoes::Replies:
          WriteFile(pipe.server, reply.data(), reply.size(), &moved, nullptr);
          break;
        case ServerDoes::SendsEmptyMessage:
          WriteFile(pipe.server, reply.data(), 0, &moved, nullptr);
          break;
        case ServerDoes::ReadsFrame:
          ReadFile(pipe.server, received.data(), received.size(), &moved, nullptr);
          EXPECT_EQ(moved, frame.size());
          break;
        case ServerDoes::NothingAtAll:
        case ServerDoes::IsGone:
          break;
      }
      EXPECT_EQ(platform.WaitForSingleObject(overlap.hEvent, 100), c.wait);
      platform.ResetEvent(overlap.hEvent);
      platform.CancelIo(pipe.client);
      std::uint32_t transferred = 99;
      EXPECT_EQ(platform.GetOverlappedResult(pipe.client, overlap, transferred), c.completed);
      EXPECT_EQ(transferred, c.count);
      if (c.server == ServerDoes::Replies) {
        EXPECT_EQ(std::memcmp(buffer.data(), reply.data(), reply.size()), 0);
      }
      platform.CloseHandle(pipe.client);
      platform.CloseEvent(overlap.hEvent);
      if (pipe.server != INVALID_HANDLE_VALUE) {
        pipe.CloseServer();
      }
    }
    if (pass == 0) {
      handlesAfterFirstPass = OpenHandleCount();
    }
  }
  EXPECT_EQ(OpenHandleCount(), handlesAfterFirstPass);
}

}  // namespace
}  // namespace corvane::link
