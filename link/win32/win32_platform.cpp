#include "link/win32/win32_platform.h"

#include <windows.h>
// setupapi.h needs the types of windows.h.
#include <setupapi.h>
// The system headers map these to their ...A and ...W forms; the seam's
// calls keep the plain names, and the system's ...A forms are called
// explicitly.
#undef CreateFile
#undef CreateEvent
#undef SetupDiGetClassDevs
#undef SetupDiGetDeviceInterfaceDetail

#include <cstddef>
#include <cstring>

namespace corvane::link {
namespace {

// The link's records are handed to the system as they are.
static_assert(sizeof(Overlap) == sizeof(OVERLAPPED));
static_assert(alignof(Overlap) == alignof(OVERLAPPED));
static_assert(offsetof(Overlap, Internal) == offsetof(OVERLAPPED, Internal));
static_assert(offsetof(Overlap, InternalHigh) == offsetof(OVERLAPPED, InternalHigh));
static_assert(offsetof(Overlap, Offset) == offsetof(OVERLAPPED, Offset));
static_assert(offsetof(Overlap, OffsetHigh) == offsetof(OVERLAPPED, OffsetHigh));
static_assert(offsetof(Overlap, hEvent) == offsetof(OVERLAPPED, hEvent));
static_assert(sizeof(Guid) == sizeof(GUID));
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) <= sizeof(InterfaceRecord::storage));
static_assert(alignof(SP_DEVICE_INTERFACE_DATA) <= alignof(InterfaceRecord));
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == DetailPathOffset);
static_assert(sizeof(Handle) == sizeof(HANDLE) && sizeof(Event) == sizeof(HANDLE));

// A transfer that failed before it was started: GetOverlappedResult then
// returns at once with nothing transferred, instead of reporting the status
// a previous transfer left in the record.
constexpr std::uintptr_t FailedAtOnce = 0xC0000001;  // STATUS_UNSUCCESSFUL

HANDLE AsHandle(Handle file) {
  return reinterpret_cast<HANDLE>(file);
}

HANDLE AsHandle(Event event) {
  return reinterpret_cast<HANDLE>(event);
}

HDEVINFO AsDeviceSet(DeviceSet set) {
  return reinterpret_cast<HDEVINFO>(set);
}

OVERLAPPED* AsOverlapped(Overlap& overlap) {
  return reinterpret_cast<OVERLAPPED*>(&overlap);
}

GUID AsGuid(const Guid& guid) {
  GUID system{guid.Data1, guid.Data2, guid.Data3, {}};
  std::memcpy(system.Data4, guid.Data4.data(), sizeof system.Data4);
  return system;
}

SP_DEVICE_INTERFACE_DATA InterfaceData(const InterfaceRecord& record) {
  SP_DEVICE_INTERFACE_DATA data;
  std::memcpy(&data, record.storage.data(), sizeof data);
  return data;
}

// The system signals the event for a transfer it started; one that fails at
// once is ended here, so that the wait sees it end.
void EndIfNotStarted(BOOL started, Overlap& overlap) {
  if (started || ::GetLastError() == ERROR_IO_PENDING) {
    return;
  }
  overlap.Internal = FailedAtOnce;
  overlap.InternalHigh = 0;
  ::SetEvent(AsHandle(overlap.hEvent));
}

}  // namespace

DeviceSet Win32Platform::SetupDiGetClassDevs(const Guid& interfaceClass) {
  const GUID guid = AsGuid(interfaceClass);
  const HDEVINFO set =
      ::SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  return set == INVALID_HANDLE_VALUE ? InvalidDeviceSet : reinterpret_cast<DeviceSet>(set);
}

bool Win32Platform::SetupDiEnumDeviceInterfaces(DeviceSet set, const Guid& interfaceClass,
                                                std::uint32_t index, InterfaceRecord& record) {
  const GUID guid = AsGuid(interfaceClass);
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  const BOOL found = ::SetupDiEnumDeviceInterfaces(AsDeviceSet(set), nullptr, &guid, index, &data);
  std::memcpy(record.storage.data(), &data, sizeof data);
  return found != FALSE;
}

void Win32Platform::SetupDiGetDeviceInterfaceDetail(DeviceSet set, const InterfaceRecord& record,
                                                    std::span<std::byte> detail,
                                                    std::uint32_t* requiredSize) {
  SP_DEVICE_INTERFACE_DATA data = InterfaceData(record);
  // A failed call leaves the size at 0, which the caller reads as no path.
  DWORD required = 0;
  auto* detailRecord = detail.empty()
                           ? nullptr
                           : reinterpret_cast<PSP_DEVICE_INTERFACE_DETAIL_DATA_A>(detail.data());
  ::SetupDiGetDeviceInterfaceDetailA(AsDeviceSet(set), &data, detailRecord,
                                     static_cast<DWORD>(detail.size()),
                                     requiredSize != nullptr ? &required : nullptr, nullptr);
  if (requiredSize != nullptr) {
    *requiredSize = required;
  }
}

std::uint32_t Win32Platform::DetailRecordSize() const {
  return sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
}

void Win32Platform::SetupDiDestroyDeviceInfoList(DeviceSet set) {
  ::SetupDiDestroyDeviceInfoList(AsDeviceSet(set));
}

Handle Win32Platform::CreateFile(const std::string& name, const FileOpen& how) {
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const HANDLE file = ::CreateFileA(name.c_str(), how.access, how.shareMode,
                                    how.inheritHandle ? &inheritable : nullptr, OPEN_EXISTING,
                                    how.overlapped ? FILE_FLAG_OVERLAPPED : 0, nullptr);
  return reinterpret_cast<Handle>(file);
}

void Win32Platform::CloseHandle(Handle file) {
  ::CloseHandle(AsHandle(file));
}

Event Win32Platform::CreateEvent() {
  return reinterpret_cast<Event>(::CreateEventA(nullptr, TRUE, TRUE, nullptr));
}

void Win32Platform::ResetEvent(Event event) {
  ::ResetEvent(AsHandle(event));
}

void Win32Platform::CloseEvent(Event event) {
  ::CloseHandle(AsHandle(event));
}

void Win32Platform::ReadFile(Handle file, std::byte* buffer, std::uint32_t count,
                             Overlap& overlap) {
  EndIfNotStarted(::ReadFile(AsHandle(file), buffer, count, nullptr, AsOverlapped(overlap)),
                  overlap);
}

void Win32Platform::WriteFile(Handle file, const std::byte* buffer, std::uint32_t count,
                              Overlap& overlap) {
  EndIfNotStarted(::WriteFile(AsHandle(file), buffer, count, nullptr, AsOverlapped(overlap)),
                  overlap);
}

std::uint32_t Win32Platform::WaitForSingleObject(Event event, std::uint32_t timeoutMs) {
  return ::WaitForSingleObject(AsHandle(event), timeoutMs);
}

void Win32Platform::CancelIo(Handle file) {
  ::CancelIo(AsHandle(file));
}

bool Win32Platform::GetOverlappedResult(Handle file, Overlap& overlap, std::uint32_t& transferred) {
  DWORD count = 0;
  const BOOL completed = ::GetOverlappedResult(AsHandle(file), AsOverlapped(overlap), &count, TRUE);
  transferred = completed ? count : 0;
  return completed != FALSE;
}

std::uint32_t Win32Platform::GetTickCount() {
  return ::GetTickCount();
}

}  // namespace corvane::link
