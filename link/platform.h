// The operating-system calls the device link makes, as one small interface.
//
// The link's logic is written once against this seam; each platform (Win32,
// libusb, the simulated remote) implements it. The calls keep the shape and
// the contracts of their Win32 namesakes so that the link reads the same on
// every platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace corvane::link {

// A pipe-file handle; InvalidHandle marks one as not open.
using Handle = std::intptr_t;
inline constexpr Handle InvalidHandle = -1;

// An event handle; 0 means none.
using Event = std::uintptr_t;

// A device-information set; InvalidDeviceSet when none could be had.
using DeviceSet = std::intptr_t;
inline constexpr DeviceSet InvalidDeviceSet = -1;

struct Guid {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::array<std::uint8_t, 8> Data4;

  friend bool operator==(const Guid&, const Guid&) = default;
};

// The platform's device-interface record. The link never reads it; it only
// hands it back to the platform, which keeps its own record (with its own
// size field) inside.
struct InterfaceRecord {
  alignas(8) std::array<std::byte, 64> storage{};
};

// The platform's overlapped-transfer record. Laid out like Win32's OVERLAPPED
// so that the Win32 platform can pass it to the system as it is.
struct Overlap {
  std::uintptr_t Internal = 0;
  std::uintptr_t InternalHigh = 0;
  std::uint32_t Offset = 0;
  std::uint32_t OffsetHigh = 0;
  Event hEvent = 0;
};

// Access rights and share modes, with their Win32 values.
inline constexpr std::uint32_t GenericRead = 0x80000000u;
inline constexpr std::uint32_t GenericWrite = 0x40000000u;
inline constexpr std::uint32_t FileShareRead = 1;
inline constexpr std::uint32_t FileShareWrite = 2;

struct FileOpen {
  std::uint32_t access = 0;
  std::uint32_t shareMode = 0;
  bool inheritHandle = false;  // security attributes with bInheritHandle true
  bool overlapped = false;     // transfers complete later, through the event
};

// Results of WaitForSingleObject.
inline constexpr std::uint32_t WaitObject0 = 0;
inline constexpr std::uint32_t WaitTimeout = 258;
inline constexpr std::uint32_t WaitFailed = 0xFFFFFFFFu;

// Where the path starts in the interface-detail record: behind its 32-bit
// size field.
inline constexpr std::size_t DetailPathOffset = 4;

class Platform {
 public:
  virtual ~Platform() = default;

  // Device setup: the present interfaces of one class.
  virtual DeviceSet SetupDiGetClassDevs(const Guid& interfaceClass) = 0;
  // False past the last interface, or on any failure.
  virtual bool SetupDiEnumDeviceInterfaces(DeviceSet set, const Guid& interfaceClass,
                                           std::uint32_t index, InterfaceRecord& record) = 0;
  // With an empty detail span, stores the detail record's size in
  // *requiredSize. With a span, fills it: a 32-bit size field the caller set
  // to DetailRecordSize(), then the path as a NUL-terminated ANSI string. It
  // never writes past the span.
  virtual void SetupDiGetDeviceInterfaceDetail(DeviceSet set, const InterfaceRecord& record,
                                               std::span<std::byte> detail,
                                               std::uint32_t* requiredSize) = 0;
  // The value the platform expects in the detail record's size field.
  virtual std::uint32_t DetailRecordSize() const = 0;
  virtual void SetupDiDestroyDeviceInfoList(DeviceSet set) = 0;

  // Files. Returns InvalidHandle when the file cannot be opened.
  virtual Handle CreateFile(const std::string& name, const FileOpen& how) = 0;
  virtual void CloseHandle(Handle file) = 0;

  // Events: manual reset, initially signalled, unnamed. 0 on failure.
  virtual Event CreateEvent() = 0;
  virtual void ResetEvent(Event event) = 0;
  virtual void CloseEvent(Event event) = 0;

  // Starts a transfer on a handle opened for overlapped transfers. The buffer
  // and the record must stay in place until GetOverlappedResult has collected
  // the transfer. The record's event is made non-signalled at the start and
  // signalled when the transfer ends, also when it fails at once.
  virtual void ReadFile(Handle file, std::byte* buffer, std::uint32_t count, Overlap& overlap) = 0;
  virtual void WriteFile(Handle file, const std::byte* buffer, std::uint32_t count,
                         Overlap& overlap) = 0;

  // WaitObject0, WaitTimeout after timeoutMs, or another value on failure.
  virtual std::uint32_t WaitForSingleObject(Event event, std::uint32_t timeoutMs) = 0;
  // Cancels whatever transfer is still pending on the handle.
  virtual void CancelIo(Handle file) = 0;
  // Waits until the transfer has really ended (completed, failed or
  // cancelled) and gives whether it completed, with the count transferred.
  virtual bool GetOverlappedResult(Handle file, Overlap& overlap, std::uint32_t& transferred) = 0;

  // Milliseconds since some start, 32 bits wide: it wraps.
  virtual std::uint32_t GetTickCount() = 0;
};

}  // namespace corvane::link
