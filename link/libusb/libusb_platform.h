// The platform seam on libusb: every USB device as an interface path, the
// remote's endpoints as pipe files, and transfers as libusb asynchronous
// bulk transfers whose completion signals the direction's event. Waits run
// libusb's event handling on the calling thread; there is no thread of its
// own.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "link/platform.h"

struct libusb_context;
struct libusb_device;
struct libusb_device_handle;
struct libusb_transfer;

namespace corvane::link {

struct UsbDeviceInfo;

class LibusbPlatform final : public Platform {
 public:
  // A remote present but not open to this user is reported on
  // `diagnostics`, one line per remote. Without libusb, nothing is found.
  LibusbPlatform();
  explicit LibusbPlatform(std::ostream& diagnostics);
  ~LibusbPlatform() override;
  LibusbPlatform(const LibusbPlatform&) = delete;
  LibusbPlatform& operator=(const LibusbPlatform&) = delete;

  DeviceSet SetupDiGetClassDevs(const Guid& interfaceClass) override;
  bool SetupDiEnumDeviceInterfaces(DeviceSet set, const Guid& interfaceClass, std::uint32_t index,
                                   InterfaceRecord& record) override;
  void SetupDiGetDeviceInterfaceDetail(DeviceSet set, const InterfaceRecord& record,
                                       std::span<std::byte> detail,
                                       std::uint32_t* requiredSize) override;
  // The size field of the Windows detail record on 64-bit systems: the link
  // fills the record as it would there.
  std::uint32_t DetailRecordSize() const override { return 8; }
  void SetupDiDestroyDeviceInfoList(DeviceSet set) override;

  Handle CreateFile(const std::string& name, const FileOpen& how) override;
  void CloseHandle(Handle file) override;

  Event CreateEvent() override;
  void ResetEvent(Event event) override;
  void CloseEvent(Event event) override;

  void ReadFile(Handle file, std::byte* buffer, std::uint32_t count, Overlap& overlap) override;
  void WriteFile(Handle file, const std::byte* buffer, std::uint32_t count,
                 Overlap& overlap) override;
  std::uint32_t WaitForSingleObject(Event event, std::uint32_t timeoutMs) override;
  void CancelIo(Handle file) override;
  bool GetOverlappedResult(Handle file, Overlap& overlap, std::uint32_t& transferred) override;

  std::uint32_t GetTickCount() override;

 private:
  struct Snapshot {
    libusb_device** devices = nullptr;
    std::vector<std::string> paths;
  };
  // The remote's interface, claimed once for all the pipe files on it.
  struct ClaimedInterface;
  struct Transfer;
  struct PipeFile {
    std::shared_ptr<ClaimedInterface> interface;
    std::uint8_t endpoint = 0;
    std::uint16_t maxPacketSize = 0;
    std::unique_ptr<Transfer> transfer;  // started and not yet collected
  };

  // Opens the device and claims its remote interface, or shares the claim
  // a file already holds; reports a device the user may not open.
  std::shared_ptr<ClaimedInterface> Claim(libusb_device* device, const UsbDeviceInfo& info);
  void Start(PipeFile& file, Overlap& overlap, std::unique_ptr<Transfer> transfer,
             unsigned char* data, std::uint32_t length, bool toDevice);
  // Runs libusb's event handling until the transfer has ended.
  void Finish(Transfer& transfer);
  void CancelAndFinish(PipeFile& file);
  void Signal(Event event);
  static void TransferEnded(libusb_transfer* usbTransfer);

  std::ostream& diagnostics_;
  libusb_context* context_ = nullptr;
  std::map<DeviceSet, Snapshot> sets_;
  std::map<Handle, PipeFile> files_;
  // The flag a wait hands to libusb as its "completed" marker.
  std::map<Event, int> events_;
  std::set<std::string> reportedDenials_;
  DeviceSet nextSet_ = 1;
  Handle nextHandle_ = 1;
  Event nextEvent_ = 1;
};

}  // namespace corvane::link
