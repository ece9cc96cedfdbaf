#include "link/win32/win32_backend.h"

#include <windows.h>
// setupapi.h and cfgmgr32.h need the types of windows.h.
#include <cfgmgr32.h>
#include <setupapi.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "link/device_link.h"
#include "link/text.h"

namespace corvane::link {
namespace {

// The records handed to the system must have the layouts its DLLs expect,
// on both pointer sizes the program is built for.
constexpr bool Wide = sizeof(void*) == 8;
static_assert(sizeof(Guid) == sizeof(GUID) && sizeof(GUID) == 16);
static_assert(sizeof(Handle) == sizeof(HANDLE));
static_assert(sizeof(OVERLAPPED) == (Wide ? 32 : 20));
static_assert(offsetof(OVERLAPPED, hEvent) == (Wide ? 24 : 16));
static_assert(sizeof(SECURITY_ATTRIBUTES) == (Wide ? 24 : 12));
static_assert(sizeof(SP_DEVICE_INTERFACE_DATA) == (Wide ? 32 : 28));
static_assert(sizeof(SP_DEVINFO_DATA) == (Wide ? 32 : 28));
static_assert(sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A) == (Wide ? 8 : 5));
static_assert(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) == sizeof(DWORD));

// Where the path starts in the detail record: behind its size field.
constexpr std::size_t PathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

// The largest bulk packet. A read is offered whole packets, so that a reply
// longer than asked still arrives whole and its full count can be told.
constexpr std::size_t PacketSize = 512;

GUID SystemGuid(const Guid& guid) {
  GUID system{guid.Data1, guid.Data2, guid.Data3, {}};
  std::memcpy(system.Data4, guid.Data4.data(), sizeof system.Data4);
  return system;
}

HANDLE SystemHandle(Handle file) {
  return reinterpret_cast<HANDLE>(file);
}

// The system's last error as a cause, with its text.
Cause LastErrorCause() {
  const DWORD error = GetLastError();
  CauseKind kind = CauseKind::SystemError;
  switch (error) {
    case ERROR_ACCESS_DENIED:
      kind = CauseKind::PermissionDenied;
      break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      kind = CauseKind::HeldByAnotherProgram;
      break;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_COMMAND:
    case ERROR_BROKEN_PIPE:
    case ERROR_PIPE_NOT_CONNECTED:
      kind = CauseKind::DeviceGone;
      break;
    default:
      break;
  }
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
    message.pop_back();
  }
  return {kind, static_cast<int>(error), message};
}

// The interface's path, or nothing when the system gives none.
bool ReadPath(HDEVINFO set, SP_DEVICE_INTERFACE_DATA& data, std::string& path) {
  DWORD required = 0;
  SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, nullptr);
  if (required <= PathOffset) {
    return false;
  }
  // One zero byte beyond what the system fills ends the path even if the
  // system leaves its own terminator out.
  std::vector<char> buffer(std::size_t{required} + 1);
  const DWORD recordSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
  std::memcpy(buffer.data(), &recordSize, sizeof recordSize);
  if (!SetupDiGetDeviceInterfaceDetailA(
          set, &data, reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(buffer.data()), required,
          nullptr, nullptr)) {
    return false;
  }
  path.assign(buffer.data() + PathOffset);
  return true;
}

}  // namespace

struct Win32Backend::Transfer {
  HANDLE file = INVALID_HANDLE_VALUE;
  OVERLAPPED overlapped{};         // its hEvent is the handle's own manual-reset event
  bool pending = false;            // started and not yet collected
  std::vector<std::byte> landing;  // where a read lands, in whole packets
  std::span<std::byte> into;       // the caller's buffer for it
  Cause failedAtStart;             // why the last start failed at once
};

Win32Backend::Win32Backend() = default;

Win32Backend::~Win32Backend() {
  while (!transfers_.empty()) {
    ClosePipe(transfers_.begin()->first);
  }
}

void Win32Backend::VisitInterfaces(const Guid& interfaceClass,
                                   const std::function<bool(std::string_view path)>& visit) {
  const GUID guid = SystemGuid(interfaceClass);
  const HDEVINFO set =
      SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (set == INVALID_HANDLE_VALUE) {
    return;
  }
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &guid, index, &data); ++index) {
    std::string path;
    if (ReadPath(set, data, path) && visit(path)) {
      break;
    }
  }
  SetupDiDestroyDeviceInfoList(set);
}

std::string Win32Backend::SerialNumber(std::string_view path) {
  std::string instance = RemoteId(path);
  return instance.find('&') == std::string::npos ? instance : std::string();
}

Cause Win32Backend::WhyNotListed(std::string_view remoteId) {
  const HDEVINFO set =
      SetupDiGetClassDevsA(nullptr, "USB", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
  if (set == INVALID_HANDLE_VALUE) {
    return {};
  }
  Cause cause;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD index = 0; cause.kind == CauseKind::None && SetupDiEnumDeviceInfo(set, index, &device);
       ++index) {
    char id[MAX_DEVICE_ID_LEN + 1] = {};
    if (!SetupDiGetDeviceInstanceIdA(set, &device, id, sizeof id, nullptr)) {
      continue;
    }
    // USB\VID_EC4B&PID_7A10\<instance>: the parts of the interface paths
    // its driver would register, with backslashes for hashes.
    std::string parts = UpperCase(id);
    std::ranges::replace(parts, '\\', '#');
    if (parts.find(VendorToken) != std::string::npos &&
        parts.find(ProductToken) != std::string::npos &&
        (remoteId.empty() || SameTextIgnoringCase(RemoteId(parts), remoteId))) {
      cause = {CauseKind::DriverMissing, 0,
               std::string(id) + " has no interface of the remote's driver"};
    }
  }
  SetupDiDestroyDeviceInfoList(set);
  return cause;
}

Opened Win32Backend::OpenPipe(const std::string& name, Pipe pipe, PipeUse use) {
  const DWORD access = pipe == Pipe::Read ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE;
  const DWORD share = pipe == Pipe::Read ? FILE_SHARE_READ : FILE_SHARE_WRITE;
  if (use == PipeUse::Held) {
    const HANDLE file =
        CreateFileA(name.c_str(), access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
      return {InvalidHandle, LastErrorCause()};
    }
    return {reinterpret_cast<Handle>(file), {}};
  }
  SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
  const HANDLE file = CreateFileA(name.c_str(), access, share, &inheritable, OPEN_EXISTING,
                                  FILE_FLAG_OVERLAPPED, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return {InvalidHandle, LastErrorCause()};
  }
  // Signalled until a transfer starts, so that a wait with nothing pending
  // does not hang.
  const HANDLE event = CreateEventA(nullptr, TRUE, TRUE, nullptr);
  if (event == nullptr) {
    const Cause cause = LastErrorCause();
    CloseHandle(file);
    return {InvalidHandle, cause};
  }
  auto transfer = std::make_unique<Transfer>();
  transfer->file = file;
  transfer->overlapped.hEvent = event;
  const auto handle = reinterpret_cast<Handle>(file);
  transfers_[handle] = std::move(transfer);
  return {handle, {}};
}

void Win32Backend::ClosePipe(Handle file) {
  const auto found = transfers_.find(file);
  if (found == transfers_.end()) {
    CloseHandle(SystemHandle(file));
    return;
  }
  // The system must be done with the record and the buffer before they go.
  CancelAndCollect(file);
  CloseHandle(found->second->overlapped.hEvent);
  CloseHandle(found->second->file);
  transfers_.erase(found);
}

Win32Backend::Transfer* Win32Backend::Find(Handle file) {
  const auto found = transfers_.find(file);
  return found == transfers_.end() ? nullptr : found->second.get();
}

namespace {

// Whether the transfer is under way. A start that failed at once never
// reaches the event; it is ended here so that the wait sees it end.
bool Started(BOOL started, OVERLAPPED& overlapped, Cause& failure) {
  if (started || GetLastError() == ERROR_IO_PENDING) {
    failure = {};
    return true;
  }
  failure = LastErrorCause();
  SetEvent(overlapped.hEvent);
  return false;
}

void Restart(OVERLAPPED& overlapped) {
  const HANDLE event = overlapped.hEvent;
  overlapped = OVERLAPPED{};
  overlapped.hEvent = event;
  ResetEvent(event);
}

}  // namespace

void Win32Backend::StartRead(Handle file, std::span<std::byte> into) {
  Transfer* transfer = Find(file);
  if (transfer == nullptr) {
    return;
  }
  CancelAndCollect(file);
  const std::size_t packets = std::max<std::size_t>(1, (into.size() + PacketSize - 1) / PacketSize);
  transfer->landing.resize(packets * PacketSize);
  transfer->into = into;
  Restart(transfer->overlapped);
  const BOOL started =
      ReadFile(transfer->file, transfer->landing.data(),
               static_cast<DWORD>(transfer->landing.size()), nullptr, &transfer->overlapped);
  transfer->pending = Started(started, transfer->overlapped, transfer->failedAtStart);
}

void Win32Backend::StartWrite(Handle file, std::span<const std::byte> from) {
  Transfer* transfer = Find(file);
  if (transfer == nullptr) {
    return;
  }
  CancelAndCollect(file);
  transfer->into = {};
  Restart(transfer->overlapped);
  const BOOL started = WriteFile(transfer->file, from.data(), static_cast<DWORD>(from.size()),
                                 nullptr, &transfer->overlapped);
  transfer->pending = Started(started, transfer->overlapped, transfer->failedAtStart);
}

WaitResult Win32Backend::Wait(Handle file, std::uint32_t timeoutMs) {
  const Transfer* transfer = Find(file);
  if (transfer == nullptr) {
    return WaitResult::Failed;
  }
  switch (WaitForSingleObject(transfer->overlapped.hEvent, timeoutMs)) {
    case WAIT_OBJECT_0:
      return WaitResult::Ended;
    case WAIT_TIMEOUT:
      return WaitResult::TimedOut;
    default:
      return WaitResult::Failed;
  }
}

Collected Win32Backend::CancelAndCollect(Handle file) {
  Transfer* transfer = Find(file);
  if (transfer == nullptr) {
    return {};
  }
  if (!transfer->pending) {
    return {false, 0, std::exchange(transfer->failedAtStart, {})};
  }
  transfer->pending = false;
  CancelIo(transfer->file);
  DWORD count = 0;
  if (!GetOverlappedResult(transfer->file, &transfer->overlapped, &count, TRUE)) {
    // A transfer this link cancelled says nothing of the remote.
    if (GetLastError() == ERROR_OPERATION_ABORTED) {
      return {};
    }
    return {false, 0, LastErrorCause()};
  }
  const std::size_t fits = std::min<std::size_t>(count, transfer->into.size());
  std::copy_n(transfer->landing.begin(), fits, transfer->into.begin());
  return {true, count, {}};
}

std::uint32_t Win32Backend::TickCount() {
  return GetTickCount();
}

void Win32Backend::Sleep(std::uint32_t ms) {
  ::Sleep(ms);
}

}  // namespace corvane::link
