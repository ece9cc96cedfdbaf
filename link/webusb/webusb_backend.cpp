#include "link/webusb/webusb_backend.h"

#include <emscripten.h>

#include <charconv>
#include <cstdlib>
#include <memory>

#include "link/device_link.h"
#include "link/interface_path.h"
#include "link/text.h"

namespace corvane::link {
namespace {

// Each reaches the browser's side, Module.webUsb in webusb.js.
// clang-format off
EM_JS(void, UsbSetUp, (int vendorId, int productId, int denied, int held, int gone, int other), {
  Module.webUsb.setUp(vendorId, productId, {denied, held, gone, other});
});
EM_ASYNC_JS(int, UsbWalk, (), {
  return await Module.webUsb.walk();
});
EM_JS(unsigned, UsbIds, (int index), {
  return Module.webUsb.ids(index);
});
EM_JS(bool, UsbCarriesRemote, (int index), {
  return Module.webUsb.carriesRemote(index);
});
EM_JS(char*, UsbName, (int index), {
  return Module.webUsb.name(index);
});
EM_JS(char*, UsbSerialNumber, (int index), {
  return Module.webUsb.serialNumber(index);
});
EM_ASYNC_JS(int, UsbOpenPipe, (int index, int pipe), {
  return await Module.webUsb.openPipe(index, pipe);
});
EM_ASYNC_JS(void, UsbClosePipe, (int handle), {
  await Module.webUsb.closePipe(handle);
});
EM_JS(void, UsbStartRead, (int handle, int size), {
  Module.webUsb.startRead(handle, size);
});
EM_JS(void, UsbStartWrite, (int handle, const void* from, int size), {
  Module.webUsb.startWrite(handle, HEAPU8.slice(from, from + size));
});
EM_ASYNC_JS(int, UsbWait, (int handle, int ms), {
  return await Module.webUsb.wait(handle, ms);
});
EM_ASYNC_JS(int, UsbCollect, (int handle, void* into, int size), {
  return await Module.webUsb.collect(handle, into, size);
});
EM_JS(int, UsbCauseKind, (), {
  return Module.webUsb.causeKind();
});
EM_JS(char*, UsbCauseText, (), {
  return Module.webUsb.causeText();
});
// clang-format on

constexpr std::string_view InstancePrefix = "WEB-";

// A text the script made, taken over.
std::string Taken(char* text) {
  const std::unique_ptr<char, decltype(&std::free)> owned(text, &std::free);
  return owned ? std::string(owned.get()) : std::string();
}

// The number a token such as VID_EC4B carries.
int IdIn(std::string_view token) {
  const std::string_view hex = token.substr(token.find('_') + 1);
  int id = 0;
  std::from_chars(hex.data(), hex.data() + hex.size(), id, 16);
  return id;
}

// Where in the last walk the device at `path` was: web-1 is the first.
int WalkIndex(std::string_view path) {
  const std::string id = RemoteId(path);
  int place = 0;
  if (!id.starts_with(InstancePrefix) ||
      std::from_chars(id.data() + InstancePrefix.size(), id.data() + id.size(), place).ec !=
          std::errc()) {
    return -1;
  }
  return place - 1;
}

// The script gives 0 for no cause.
static_assert(static_cast<int>(CauseKind::None) == 0);

Cause LastCause() {
  return {static_cast<CauseKind>(UsbCauseKind()), 0, Taken(UsbCauseText())};
}

}  // namespace

WebUsbBackend::WebUsbBackend() {
  UsbSetUp(IdIn(VendorToken), IdIn(ProductToken), static_cast<int>(CauseKind::PermissionDenied),
           static_cast<int>(CauseKind::HeldByAnotherProgram),
           static_cast<int>(CauseKind::DeviceGone), static_cast<int>(CauseKind::SystemError));
}

void WebUsbBackend::VisitInterfaces(const Guid& interfaceClass,
                                    const std::function<bool(std::string_view path)>& visit) {
  if (interfaceClass != InterfaceClass) {
    return;
  }
  const int count = UsbWalk();
  for (int index = 0; index < count; ++index) {
    const unsigned ids = UsbIds(index);
    const std::string path = InterfacePath(
        static_cast<std::uint16_t>(ids >> 16), static_cast<std::uint16_t>(ids & 0xFFFF),
        "web-" + std::to_string(index + 1), UsbCarriesRemote(index));
    if (visit(path)) {
      return;
    }
  }
}

std::string WebUsbBackend::DescribeInterface(std::string_view path) {
  const int index = WalkIndex(path);
  return index < 0 ? std::string(path) : Taken(UsbName(index));
}

std::string WebUsbBackend::SerialNumber(std::string_view path) {
  const int index = WalkIndex(path);
  return index < 0 ? std::string() : Taken(UsbSerialNumber(index));
}

Opened WebUsbBackend::OpenPipe(const std::string& name, Pipe, PipeUse) {
  const auto pipeName = ParsePipeName(name);
  const int index = pipeName ? WalkIndex(pipeName->interfacePath) : -1;
  if (index < 0) {
    return {InvalidHandle, {CauseKind::DeviceGone, 0, "no remote at " + name}};
  }
  const int handle = UsbOpenPipe(index, static_cast<int>(pipeName->pipe));
  if (handle == 0) {
    return {InvalidHandle, LastCause()};
  }
  return {handle, {}};
}

void WebUsbBackend::ClosePipe(Handle file) {
  CancelAndCollect(file);
  UsbClosePipe(static_cast<int>(file));
}

void WebUsbBackend::StartRead(Handle file, std::span<std::byte> into) {
  reads_[file] = into;
  UsbStartRead(static_cast<int>(file), static_cast<int>(into.size()));
}

void WebUsbBackend::StartWrite(Handle file, std::span<const std::byte> from) {
  reads_.erase(file);
  UsbStartWrite(static_cast<int>(file), from.data(), static_cast<int>(from.size()));
}

WaitResult WebUsbBackend::Wait(Handle file, std::uint32_t timeoutMs) {
  switch (UsbWait(static_cast<int>(file), static_cast<int>(timeoutMs))) {
    case 1:
      return WaitResult::Ended;
    case 0:
      return WaitResult::TimedOut;
    default:
      return WaitResult::Failed;
  }
}

Collected WebUsbBackend::CancelAndCollect(Handle file) {
  const auto read = reads_.find(file);
  const std::span<std::byte> into = read == reads_.end() ? std::span<std::byte>() : read->second;
  if (read != reads_.end()) {
    reads_.erase(read);
  }
  const int count = UsbCollect(static_cast<int>(file), into.data(), static_cast<int>(into.size()));
  if (count < 0) {
    return {false, 0, LastCause()};
  }
  return {true, static_cast<std::uint32_t>(count), {}};
}

std::uint32_t WebUsbBackend::TickCount() {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(emscripten_get_now()));
}

void WebUsbBackend::Sleep(std::uint32_t ms) {
  emscripten_sleep(ms);
}

}  // namespace corvane::link
