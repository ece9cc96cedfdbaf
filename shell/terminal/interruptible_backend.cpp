#include "shell/terminal/interruptible_backend.h"

#include <algorithm>

namespace corvane::shell {
namespace {

// How far every reading of the tick count moves on once interrupted: far
// past any time-out and past the loader's restart pause. It grows with each
// reading, so even a wait that took its start reading after the interrupt
// sees its time run out at the next one.
constexpr std::uint32_t TickJumpMs = 0x01000000;  // about 4.7 hours

}  // namespace

std::vector<std::string> InterruptibleBackend::InterfacePaths(const link::Guid& interfaceClass) {
  if (Interrupted()) {
    return {};
  }
  return inner_.InterfacePaths(interfaceClass);
}

link::Handle InterruptibleBackend::OpenPipe(const std::string& name, link::Pipe pipe,
                                            link::PipeUse use) {
  if (Interrupted()) {
    return link::InvalidHandle;
  }
  return inner_.OpenPipe(name, pipe, use);
}

void InterruptibleBackend::ClosePipe(link::Handle file) {
  refused_.erase(file);
  inner_.ClosePipe(file);
}

void InterruptibleBackend::StartRead(link::Handle file, std::span<std::byte> into) {
  if (Interrupted()) {
    refused_.insert(file);
    return;
  }
  inner_.StartRead(file, into);
}

void InterruptibleBackend::StartWrite(link::Handle file, std::span<const std::byte> from) {
  if (Interrupted()) {
    refused_.insert(file);
    return;
  }
  inner_.StartWrite(file, from);
}

// The signal handler cannot wake a wait blocked in libusb, in the Win32
// wait functions or in the simulated remote's sleep; waiting in short
// slices lets an interrupt be seen within one slice.
link::WaitResult InterruptibleBackend::Wait(link::Handle file, std::uint32_t timeoutMs) {
  if (refused_.contains(file)) {
    return link::WaitResult::Ended;  // a refused start ends at once
  }
  const std::uint32_t start = inner_.TickCount();
  for (;;) {
    const std::uint32_t waited = inner_.TickCount() - start;
    const std::uint32_t slice = std::min(timeoutMs - std::min(waited, timeoutMs), WaitSliceMs);
    const link::WaitResult result = inner_.Wait(file, slice);
    if (result != link::WaitResult::TimedOut || Interrupted() ||
        inner_.TickCount() - start >= timeoutMs) {
      return result;
    }
  }
}

link::Collected InterruptibleBackend::CancelAndCollect(link::Handle file) {
  if (refused_.erase(file) > 0) {
    return {};
  }
  return inner_.CancelAndCollect(file);
}

std::uint32_t InterruptibleBackend::TickCount() {
  if (Interrupted()) {
    ticksAhead_ += TickJumpMs;
  }
  return inner_.TickCount() + ticksAhead_;
}

}  // namespace corvane::shell
