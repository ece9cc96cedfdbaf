#include "link/device_link.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "link/text.h"

namespace corvane::link {
namespace {

// With a stop possible, no wait or pause blocks longer than this, so that a
// stop is seen within it.
constexpr std::uint32_t StopSliceMs = 100;

const Cause StoppedCause{CauseKind::Stopped, 0, "stopped"};

}  // namespace

struct DeviceLink::Try {
  WaitResult wait = WaitResult::Failed;
  std::uint32_t count = 0;
  Cause cause;
};

DeviceLink::DeviceLink(Backend& backend, StopToken stop, std::string remoteId)
    : backend_(backend), stop_(std::move(stop)), remoteId_(std::move(remoteId)) {}

DeviceLink::~DeviceLink() {
  CloseDevice();
}

Opened DeviceLink::OpenPipeFile(Pipe pipe, PipeUse use) {
  const std::string_view suffix = pipe == Pipe::Read ? ReadPipeSuffix : WritePipeSuffix;
  return backend_.OpenPipe(devicePath_ + std::string(suffix), pipe, use);
}

void DeviceLink::CloseIfOpen(Handle& file) {
  if (file != InvalidHandle) {
    backend_.ClosePipe(file);
    file = InvalidHandle;
  }
}

std::uint32_t DeviceLink::TickCount() {
  return backend_.TickCount();
}

void DeviceLink::Pause(std::uint32_t ms) {
  if (!stop_.stop_possible()) {
    backend_.Sleep(ms);
    return;
  }
  const std::uint32_t start = backend_.TickCount();
  // The unsigned difference stays right across a wrap of the tick count.
  for (std::uint32_t passed = 0; passed < ms && !Stopped(); passed = backend_.TickCount() - start) {
    backend_.Sleep(std::min(ms - passed, StopSliceMs));
  }
}

std::string DeviceLink::FindDevicePath() {
  devicePath_.clear();
  backend_.VisitInterfaces(InterfaceClass, [this](std::string_view path) {
    if (!IsRemotePath(path) || (!remoteId_.empty() && !GoesBy(backend_, path, remoteId_))) {
      return false;
    }
    devicePath_ = UpperCase(CutAtNul(path));
    // Found by its serial number or its id, a remote is found again by where
    // it sits: one restarting after its loader may report no serial number.
    if (!remoteId_.empty()) {
      remoteId_ = RemoteId(path);
    }
    return true;
  });
  return devicePath_;
}

OpenResult DeviceLink::OpenDevice() {
  // A run opens on whatever an earlier one left: released here, not forgotten.
  CloseDevice();
  if (Stopped()) {
    return {false, StoppedCause};
  }
  if (FindDevicePath().empty()) {
    return {false, backend_.WhyNotListed(remoteId_)};
  }
  const Opened read = OpenPipeFile(Pipe::Read, PipeUse::Held);
  const Opened write = OpenPipeFile(Pipe::Write, PipeUse::Held);
  readPipeHandle_ = read.file;
  writePipeHandle_ = write.file;
  if (read.file == InvalidHandle || write.file == InvalidHandle) {
    CloseIfOpen(readPipeHandle_);
    CloseIfOpen(writePipeHandle_);
    devicePath_.clear();
    return {false, read.file == InvalidHandle ? read.cause : write.cause};
  }
  return {true, {}};
}

void DeviceLink::CloseDevice() {
  devicePath_.clear();
  CloseIfOpen(readPipeHandle_);
  CloseIfOpen(writePipeHandle_);
}

WaitResult DeviceLink::WaitWatchingStop(Handle file, std::uint32_t timeoutMs) {
  if (!stop_.stop_possible()) {
    return backend_.Wait(file, timeoutMs);
  }
  const std::uint32_t start = backend_.TickCount();
  for (;;) {
    const std::uint32_t waited = std::min(backend_.TickCount() - start, timeoutMs);
    const WaitResult result = backend_.Wait(file, std::min(timeoutMs - waited, StopSliceMs));
    if (result != WaitResult::TimedOut || Stopped() || backend_.TickCount() - start >= timeoutMs) {
      return result;
    }
  }
}

// Tries the transfer until one try succeeds or `timeout` ms have passed
// since the first; the last try decides. Every try is cancelled and
// collected before the next starts, so the system never writes into a
// buffer that is gone.
template <typename Start, typename Succeeded>
DeviceLink::Try DeviceLink::TimedTransfer(Handle file, std::int32_t timeout, Start start,
                                          Succeeded succeeded) {
  const auto limit = static_cast<std::uint32_t>(std::max(timeout, 0));
  const std::uint32_t startTick = backend_.TickCount();
  Try last;
  for (;;) {
    start();
    last.wait = WaitWatchingStop(file, limit);
    const Collected collected = backend_.CancelAndCollect(file);
    last.count = collected.completed ? collected.count : 0;
    last.cause = collected.cause;
    // Bytes that arrived between the time-out and the cancel are kept.
    if (collected.completed && collected.count > 0) {
      last.wait = WaitResult::Ended;
    }
    if (succeeded(last)) {
      break;
    }
    if (Stopped()) {
      last.wait = WaitResult::Failed;
      last.cause = StoppedCause;
      break;
    }
    // The unsigned difference stays right across a wrap of the tick count.
    if (backend_.TickCount() - startTick >= limit) {
      break;
    }
  }
  return last;
}

namespace {

PipeResult ResultOf(WaitResult wait, std::uint32_t count, Cause cause) {
  switch (wait) {
    case WaitResult::Ended:
      return {PipeStatus::Completed, count, std::move(cause)};
    case WaitResult::TimedOut:
      return {PipeStatus::TimedOut, 0, std::move(cause)};
    case WaitResult::Failed:
      break;
  }
  return {PipeStatus::Failed, 0, std::move(cause)};
}

// A transfer file for the length of one ReadPipe or WritePipe call.
class TransferFile {
 public:
  TransferFile(Backend& backend, Opened opened) : backend_(backend), opened_(std::move(opened)) {}
  ~TransferFile() {
    if (opened_.file != InvalidHandle) {
      backend_.ClosePipe(opened_.file);
    }
  }
  TransferFile(const TransferFile&) = delete;
  TransferFile& operator=(const TransferFile&) = delete;

  Handle handle() const { return opened_.file; }
  const Cause& cause() const { return opened_.cause; }

 private:
  Backend& backend_;
  Opened opened_;
};

}  // namespace

PipeResult DeviceLink::ReadPipe(std::span<std::uint8_t> buffer, std::int32_t timeout) {
  if (buffer.empty() || devicePath_.empty()) {
    return {};
  }
  if (Stopped()) {
    return {PipeStatus::Failed, 0, StoppedCause};
  }
  const TransferFile file(backend_, OpenPipeFile(Pipe::Read, PipeUse::Transfer));
  if (file.handle() == InvalidHandle) {
    return {PipeStatus::NotAttempted, 0, file.cause()};
  }
  std::vector<std::byte> scratch(buffer.size());
  const Try last = TimedTransfer(
      file.handle(), timeout, [&] { backend_.StartRead(file.handle(), scratch); },
      [](const Try& t) { return t.wait == WaitResult::Ended && t.count > 0; });
  // A reply longer than asked is not the one the caller waits for: its
  // count tells so, and none of it is copied.
  if (last.wait == WaitResult::Ended && last.count <= buffer.size()) {
    std::memcpy(buffer.data(), scratch.data(), last.count);
  }
  PipeResult result = ResultOf(last.wait, last.count, last.cause);
  if (trace_) {
    const auto shown = reinterpret_cast<const std::uint8_t*>(scratch.data());
    trace_(Direction::Read, {shown, std::min<std::size_t>(result.count, scratch.size())}, result);
  }
  return result;
}

PipeResult DeviceLink::WritePipe(std::span<const std::uint8_t> bytes, std::int32_t timeout) {
  if (bytes.empty() || devicePath_.empty()) {
    return {};
  }
  if (Stopped()) {
    return {PipeStatus::Failed, 0, StoppedCause};
  }
  const TransferFile file(backend_, OpenPipeFile(Pipe::Write, PipeUse::Transfer));
  if (file.handle() == InvalidHandle) {
    return {PipeStatus::NotAttempted, 0, file.cause()};
  }
  const auto from = std::as_bytes(bytes);
  const Try last = TimedTransfer(
      file.handle(), timeout, [&] { backend_.StartWrite(file.handle(), from); },
      [](const Try& t) { return t.wait == WaitResult::Ended; });
  PipeResult result = ResultOf(last.wait, last.count, last.cause);
  if (trace_) {
    trace_(Direction::Write, bytes, result);
  }
  return result;
}

}  // namespace corvane::link
