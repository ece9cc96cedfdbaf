// The Win32 backend with one device interface of its own: discovery reports
// the pipe remote's path while its pipe files exist; files, events, waits,
// cancelling and the tick count are the system's.
#pragma once

#include "link/device_link.h"
#include "link/win32/win32_backend.h"
#include "pipe_remote.h"

namespace corvane::win32_test {

class PipeDeviceBackend final : public link::Backend {
 public:
  explicit PipeDeviceBackend(const PipeRemote& remote) : remote_(remote) {}

  std::vector<std::string> InterfacePaths(const link::Guid& interfaceClass) override {
    if (interfaceClass == link::InterfaceClass && remote_.Present()) {
      return {remote_.Path()};
    }
    return {};
  }
  link::Handle OpenPipe(const std::string& name, link::Pipe pipe, link::PipeUse use) override {
    return system_.OpenPipe(name, pipe, use);
  }
  void ClosePipe(link::Handle file) override { system_.ClosePipe(file); }
  void StartRead(link::Handle file, std::span<std::byte> into) override {
    system_.StartRead(file, into);
  }
  void StartWrite(link::Handle file, std::span<const std::byte> from) override {
    system_.StartWrite(file, from);
  }
  link::WaitResult Wait(link::Handle file, std::uint32_t timeoutMs) override {
    return system_.Wait(file, timeoutMs);
  }
  link::Collected CancelAndCollect(link::Handle file) override {
    return system_.CancelAndCollect(file);
  }
  std::uint32_t TickCount() override { return system_.TickCount(); }

 private:
  link::Win32Backend system_;
  const PipeRemote& remote_;
};

}  // namespace corvane::win32_test
