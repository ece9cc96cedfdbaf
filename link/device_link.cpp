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

Backend& System() {
  return *state.backend;
}

Handle OpenPipeFile(Pipe pipe, PipeUse use) {
  const std::string_view suffix = pipe == Pipe::Read ? ReadPipeSuffix : WritePipeSuffix;
  return System().OpenPipe(state.devicePath + std::string(suffix), pipe, use);
}

void CloseIfOpen(Handle& file) {
  if (file != InvalidHandle) {
    System().ClosePipe(file);
    file = InvalidHandle;
  }
}

// The pipe file one ReadPipe or WritePipe call makes its tries through,
// closed when the call returns.
class TransferFile {
 public:
  explicit TransferFile(Pipe pipe) : handle_(OpenPipeFile(pipe, PipeUse::Transfer)) {}
  ~TransferFile() { CloseIfOpen(handle_); }
  TransferFile(const TransferFile&) = delete;
  TransferFile& operator=(const TransferFile&) = delete;

  Handle handle() const { return handle_; }

 private:
  Handle handle_;
};

struct Try {
  WaitResult wait = WaitResult::Failed;
  std::uint32_t count = 0;
};

// Tries the transfer until one try succeeds or `timeout` ms have passed
// since the first; the last try decides. Every try is cancelled and
// collected before the next starts, so the system never writes into a
// buffer that is gone.
template <typename Start, typename Succeeded>
Try TimedTransfer(Handle file, std::int32_t timeout, Start start, Succeeded succeeded) {
  Backend& system = System();
  const auto limit = static_cast<std::uint32_t>(std::max(timeout, 0));
  const std::uint32_t startTick = system.TickCount();
  Try last;
  for (;;) {
    start();
    last.wait = system.Wait(file, limit);
    const Collected collected = system.CancelAndCollect(file);
    last.count = collected.completed ? collected.count : 0;
    // Bytes that arrived between the time-out and the cancel are kept.
    if (collected.completed && collected.count > 0) {
      last.wait = WaitResult::Ended;
    }
    if (succeeded(last)) {
      break;
    }
    // The unsigned difference stays right across a wrap of the tick count.
    if (system.TickCount() - startTick >= limit) {
      break;
    }
  }
  return last;
}

std::int32_t FailureCode(WaitResult wait) {
  return wait == WaitResult::TimedOut ? TransferTimedOut : TransferFailed;
}

}  // namespace

BackendInUse::BackendInUse(Backend& backend) : previous_(state.backend) {
  CloseDevice();
  state.backend = &backend;
}

BackendInUse::~BackendInUse() {
  CloseDevice();
  state.backend = previous_;
}

const std::string& DevicePath() {
  return state.devicePath;
}

std::uint32_t TickCount() {
  return System().TickCount();
}

std::int32_t OpenDevice() {
  // Callers close first; whatever is still held is released, not forgotten.
  CloseDevice();
  if (FindDevicePath().empty()) {
    return 0;
  }
  state.readPipeHandle = OpenPipeFile(Pipe::Read, PipeUse::Held);
  state.writePipeHandle = OpenPipeFile(Pipe::Write, PipeUse::Held);
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
  if (state.backend == nullptr) {
    return;  // nothing can be held without a backend
  }
  CloseIfOpen(state.readPipeHandle);
  CloseIfOpen(state.writePipeHandle);
}

std::int32_t ReadPipe(std::uint8_t* buffer, std::int32_t count, std::int32_t timeout) {
  if (count <= 0 || state.devicePath.empty()) {
    return 0;
  }
  const TransferFile file(Pipe::Read);
  if (file.handle() == InvalidHandle) {
    return 0;
  }
  const auto wanted = static_cast<std::size_t>(count);
  std::vector<std::byte> scratch(wanted);
  const Try last = TimedTransfer(
      file.handle(), timeout, [&] { System().StartRead(file.handle(), scratch); },
      [](const Try& t) { return t.wait == WaitResult::Ended && t.count > 0; });
  if (last.wait != WaitResult::Ended) {
    return FailureCode(last.wait);
  }
  // A reply longer than asked is not the one the caller waits for: its
  // count tells so, and none of it is copied.
  if (last.count <= wanted) {
    std::memcpy(buffer, scratch.data(), last.count);
  }
  return static_cast<std::int32_t>(last.count);
}

std::int32_t WritePipe(const std::uint8_t* buffer, std::int32_t count, std::int32_t* countWritten,
                       std::int32_t timeout) {
  if (count <= 0 || state.devicePath.empty()) {
    return 0;
  }
  const TransferFile file(Pipe::Write);
  if (file.handle() == InvalidHandle) {
    return 0;
  }
  const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(buffer),
                                         static_cast<std::size_t>(count));
  const Try last = TimedTransfer(
      file.handle(), timeout, [&] { System().StartWrite(file.handle(), bytes); },
      [](const Try& t) { return t.wait == WaitResult::Ended; });
  *countWritten = static_cast<std::int32_t>(last.count);
  return last.wait == WaitResult::Ended ? 1 : FailureCode(last.wait);
}

}  // namespace corvane::link
