// The link's backend in a browser: the remotes this page may use, through
// WebUSB (the browser's side is webusb.js). The browser's calls are
// asynchronous; Asyncify suspends the page's one thread in each, so that the
// link and the protocol run as they are. WebUSB's transfers have no
// time-out: Wait gives them theirs, and a transfer still pending when it is
// collected is ended the one way WebUSB has, by releasing the remote's
// interface (and claiming it again), so that it never takes a later reply.
#pragma once

#include <map>
#include <span>

#include "link/backend.h"

namespace corvane::link {

class WebUsbBackend final : public Backend {
 public:
  WebUsbBackend();

  // The remotes the page may use, each with the instance part web-N.
  void VisitInterfaces(const Guid& interfaceClass,
                       const std::function<bool(std::string_view path)>& visit) override;
  // The browser's name for the device.
  std::string DescribeInterface(std::string_view path) override;
  std::string SerialNumber(std::string_view path) override;
  Opened OpenPipe(const std::string& name, Pipe pipe, PipeUse use) override;
  void ClosePipe(Handle file) override;
  void StartRead(Handle file, std::span<std::byte> into) override;
  void StartWrite(Handle file, std::span<const std::byte> from) override;
  WaitResult Wait(Handle file, std::uint32_t timeoutMs) override;
  Collected CancelAndCollect(Handle file) override;
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t ms) override;

 private:
  // Where each read's bytes go once it is collected.
  std::map<Handle, std::span<std::byte>> reads_;
};

}  // namespace corvane::link
