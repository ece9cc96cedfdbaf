// The link's backend on libusb: every USB device as an interface path, the
// remote's endpoints as pipe files, and transfers as libusb asynchronous
// bulk transfers. Waits run libusb's event handling on the calling thread;
// there is no thread of its own. Each backend has its own libusb context.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "link/backend.h"

struct libusb_context;
struct libusb_device;

namespace corvane::link {

struct UsbDeviceInfo;

class LibusbBackend final : public Backend {
 public:
  // Without libusb, nothing is found.
  LibusbBackend();
  ~LibusbBackend() override;
  LibusbBackend(const LibusbBackend&) = delete;
  LibusbBackend& operator=(const LibusbBackend&) = delete;

  void VisitInterfaces(const Guid& interfaceClass,
                       const std::function<bool(std::string_view path)>& visit) override;
  // USB vendor:product, bus and port.
  std::string DescribeInterface(std::string_view path) override;
  // Read from the device through a handle of its own, opened briefly.
  std::string SerialNumber(std::string_view path) override;
  // Hot-plug events wake it, where libusb has them.
  void WaitForArrival(std::uint32_t ms) override;
  Opened OpenPipe(const std::string& name, Pipe pipe, PipeUse use) override;
  void ClosePipe(Handle file) override;
  void StartRead(Handle file, std::span<std::byte> into) override;
  void StartWrite(Handle file, std::span<const std::byte> from) override;
  WaitResult Wait(Handle file, std::uint32_t timeoutMs) override;
  Collected CancelAndCollect(Handle file) override;
  std::uint32_t TickCount() override;
  void Sleep(std::uint32_t ms) override;

 private:
  // The remote's interface, opened and claimed once for every pipe file on
  // its path.
  struct Claim;
  struct Transfer;
  class DeviceList;
  struct PipeFile {
    std::shared_ptr<Claim> claim;
    std::uint8_t endpoint = 0;
    std::uint16_t maxPacketSize = 0;
    std::unique_ptr<Transfer> transfer;  // started and not yet collected
  };

  // The device the last walk saw at `path`, described in `info`; null when
  // it saw none there.
  libusb_device* Walked(std::string_view path, UsbDeviceInfo& info) const;
  // The claim a file on `interfacePath` already holds, else the device at
  // that path opened and claimed now; null, with the cause, when it cannot
  // be.
  std::shared_ptr<Claim> ClaimAt(std::string_view interfacePath, Cause& cause);
  std::shared_ptr<Claim> ClaimIn(const DeviceList& devices, std::string_view interfacePath,
                                 Cause& cause);
  void Start(Handle file, std::unique_ptr<Transfer> transfer, bool toDevice);
  // Runs libusb's event handling until the transfer has ended.
  void Finish(Transfer& transfer);

  libusb_context* context_ = nullptr;
  // The devices the last walk saw, so that opening the one it found needs
  // no second enumeration.
  std::unique_ptr<DeviceList> walked_;
  std::map<Handle, PipeFile> files_;
  Handle nextHandle_ = 1;
};

}  // namespace corvane::link
