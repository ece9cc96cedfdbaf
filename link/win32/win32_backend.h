// The device link's backend on Windows: SetupAPI lists the driver's
// interfaces, its pipe files carry the transfers, overlapped so that a
// remote that never answers cannot block the program.
#pragma once

#include <map>
#include <memory>

#include "link/backend.h"

namespace corvane::link {

class Win32Backend final : public Backend {
 public:
  Win32Backend();
  ~Win32Backend() override;
  Win32Backend(const Win32Backend&) = delete;
  Win32Backend& operator=(const Win32Backend&) = delete;

  void VisitInterfaces(const Guid& interfaceClass,
                       const std::function<bool(std::string_view path)>& visit) override;
  // Windows names a device that reports a serial number by it: the instance
  // part of its path. One it makes up for a device without carries '&'.
  std::string SerialNumber(std::string_view path) override;
  // A USB device with the remote's ids but no interface of its driver: the
  // driver is not installed.
  Cause WhyNotListed(std::string_view remoteId) override;
  Opened OpenPipe(const std::string& name, Pipe pipe, PipeUse use) override;
  void ClosePipe(Handle file) override;
  void StartRead(Handle file, std::span<std::byte> into) override;
  void StartWrite(Handle file, std::span<const std::byte> from) override;
  WaitResult Wait(Handle file, std::uint32_t timeoutMs) override;
  Collected CancelAndCollect(Handle file) override;
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t ms) override;

 private:
  // The overlapped record, event and read buffer of a transfer handle; kept
  // out of this header so that its users need no system header.
  struct Transfer;
  Transfer* Find(Handle file);

  std::map<Handle, std::unique_ptr<Transfer>> transfers_;
};

}  // namespace corvane::link
