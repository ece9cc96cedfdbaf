#include "link/device_link.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "link/link_state.h"

namespace corvane::link {

namespace detail {
LinkState state;
}  // namespace detail

namespace {

using detail::state;

// The two held pipe files are opened plainly; the per-call transfer files
// are opened for overlapped transfers, so that a remote that never answers
// cannot block a call beyond its time-out.
constexpr FileOpen ReadPipeOpen{GenericRead | GenericWrite, FileShareRead, false, false};
constexpr FileOpen WritePipeOpen{GenericWrite, FileShareWrite, false, false};
constexpr FileOpen ReadTransferOpen{GenericRead | GenericWrite, FileShareRead, true, true};
constexpr FileOpen WriteTransferOpen{GenericWrite, FileShareWrite, true, true};

Platform& System() {
  return *state.platform;
}

Handle OpenPipeFile(std::string_view suffix, const FileOpen& how) {
  return System().CreateFile(state.devicePath + std::string(suffix), how);
}

void CloseIfOpen(Handle& file) {
  if (file != InvalidHandle) {
    System().CloseHandle(file);
    file = InvalidHandle;
  }
}

void CancelAndClose(Handle& file) {
  if (file != InvalidHandle) {
    System().CancelIo(file);
    CloseIfOpen(file);
  }
}

void DropEvent(Event& event, Overlap& overlap) {
  if (event != 0) {
    System().CloseEvent(event);
    event = 0;
  }
  overlap.hEvent = 0;
}

// One direction of transfer: its pipe file, its transfer handle and event.
struct Direction {
  std::string_view suffix;
  const FileOpen& open;
  Handle& transferHandle;
  Event& event;
  Overlap& overlap;
};

Direction ReadDirection() {
  return {ReadPipeSuffix, ReadTransferOpen, state.readTransferHandle, state.readEvent,
          state.readOverlap};
}

Direction WriteDirection() {
  return {WritePipeSuffix, WriteTransferOpen, state.writeTransferHandle, state.writeEvent,
          state.writeOverlap};
}

// Opens the direction's transfer file and readies its overlap record; false
// when either fails. A handle left behind by an earlier call that got no
// event is closed first.
bool BeginTransfer(const Direction& d) {
  CloseIfOpen(d.transferHandle);
  d.transferHandle = OpenPipeFile(d.suffix, d.open);
  if (d.transferHandle == InvalidHandle) {
    return false;
  }
  if (d.event == 0) {
    d.event = System().CreateEvent();
  }
  d.overlap.Offset = 0;
  d.overlap.OffsetHigh = 0;
  d.overlap.hEvent = d.event;
  return d.event != 0;
}

void EndTransfer(const Direction& d) {
  CloseIfOpen(d.transferHandle);
  DropEvent(d.event, d.overlap);
}

struct Try {
  std::uint32_t wait = WaitFailed;
  std::uint32_t count = 0;
};

// Tries the transfer until one try succeeds or `timeout` ms have passed
// since the first; the last try decides. Every try is collected before the
// next starts, so the system never writes into a buffer that is gone.
template <typename Start, typename Succeeded>
Try TimedTransfer(const Direction& d, std::int32_t timeout, Start start, Succeeded succeeded) {
  Platform& system = System();
  const auto limit = static_cast<std::uint32_t>(std::max(timeout, 0));
  const std::uint32_t startTick = system.GetTickCount();
  Try last;
  for (;;) {
    start();
    last.wait = system.WaitForSingleObject(d.event, limit);
    system.ResetEvent(d.event);
    system.CancelIo(d.transferHandle);
    std::uint32_t transferred = 0;
    const bool completed = system.GetOverlappedResult(d.transferHandle, d.overlap, transferred);
    last.count = completed ? transferred : 0;
    // A transfer that completed between the time-out and the cancel is kept.
    if (completed && transferred > 0) {
      last.wait = WaitObject0;
    }
    if (succeeded(last)) {
      break;
    }
    const std::uint32_t elapsed = system.GetTickCount() - startTick;
    if (elapsed >= limit) {
      break;
    }
  }
  return last;
}

std::int32_t FailureCode(std::uint32_t wait) {
  return wait == WaitTimeout ? TransferTimedOut : TransferFailed;
}

}  // namespace

void UsePlatform(Platform& platform) {
  state.platform = &platform;
}

const std::string& DevicePath() {
  return state.devicePath;
}

std::uint32_t TickCount() {
  return System().GetTickCount();
}

std::int32_t OpenDevice() {
  // Callers close first; whatever is still held is released, not forgotten.
  CloseDevice();
  if (FindDevicePath().empty()) {
    return 0;
  }
  state.readPipeHandle = OpenPipeFile(ReadPipeSuffix, ReadPipeOpen);
  state.writePipeHandle = OpenPipeFile(WritePipeSuffix, WritePipeOpen);
  if (state.readPipeHandle == InvalidHandle || state.writePipeHandle == InvalidHandle) {
    CloseIfOpen(state.readPipeHandle);
    CloseIfOpen(state.writePipeHandle);
    state.devicePath.clear();
    return 0;
  }
  return 1;
}

void CloseDevice() {
  state.devicePath.clear();
  DropEvent(state.readEvent, state.readOverlap);
  DropEvent(state.writeEvent, state.writeOverlap);
  CancelAndClose(state.readTransferHandle);
  CancelAndClose(state.writeTransferHandle);
  CloseIfOpen(state.readPipeHandle);
  CloseIfOpen(state.writePipeHandle);
}

std::int32_t ReadPipe(std::uint8_t* buffer, std::int32_t count, std::int32_t timeout) {
  if (count <= 0 || state.devicePath.empty()) {
    return 0;
  }
  const Direction d = ReadDirection();
  if (!BeginTransfer(d)) {
    return 0;
  }
  const auto wanted = static_cast<std::uint32_t>(count);
  std::vector<std::byte> scratch(wanted);
  const Try last = TimedTransfer(
      d, timeout, [&] { System().ReadFile(d.transferHandle, scratch.data(), wanted, d.overlap); },
      [](const Try& t) { return t.wait == WaitObject0 && t.count > 0; });
  EndTransfer(d);
  if (last.wait != WaitObject0) {
    return FailureCode(last.wait);
  }
  const std::uint32_t delivered = std::min(last.count, wanted);
  std::memcpy(buffer, scratch.data(), delivered);
  return static_cast<std::int32_t>(delivered);
}

std::int32_t WritePipe(const std::uint8_t* buffer, std::int32_t count, std::int32_t* countWritten,
                       std::int32_t timeout) {
  if (count <= 0 || state.devicePath.empty()) {
    return 0;
  }
  const Direction d = WriteDirection();
  if (!BeginTransfer(d)) {
    return 0;
  }
  const Try last = TimedTransfer(
      d, timeout,
      [&] {
        System().WriteFile(d.transferHandle, reinterpret_cast<const std::byte*>(buffer),
                           static_cast<std::uint32_t>(count), d.overlap);
      },
      [](const Try& t) { return t.wait == WaitObject0; });
  EndTransfer(d);
  *countWritten = static_cast<std::int32_t>(last.count);
  return last.wait == WaitObject0 ? 1 : FailureCode(last.wait);
}

}  // namespace corvane::link
