#include "link/libusb/libusb_backend.h"

#include <libusb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "link/device_link.h"
#include "link/libusb/usb_device_info.h"
#include "link/text.h"

namespace corvane::link {
namespace {

using Clock = std::chrono::steady_clock;

timeval Timeval(Clock::duration span) {
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(span).count();
  return {static_cast<time_t>(micros / 1000000), static_cast<suseconds_t>(micros % 1000000)};
}

Cause CauseOf(int error) {
  const auto kind = [error] {
    switch (error) {
      case LIBUSB_ERROR_ACCESS:
        return CauseKind::PermissionDenied;
      case LIBUSB_ERROR_BUSY:
        return CauseKind::HeldByAnotherProgram;
      case LIBUSB_ERROR_NO_DEVICE:
        return CauseKind::DeviceGone;
      default:
        return CauseKind::SystemError;
    }
  }();
  return {kind, error, libusb_strerror(error)};
}

}  // namespace

// A snapshot of the present devices, in libusb's order.
class LibusbBackend::DeviceList {
 public:
  explicit DeviceList(libusb_context* context) {
    if (context != nullptr) {
      libusb_get_device_list(context, &devices_);  // on failure it stays null
    }
  }
  ~DeviceList() {
    if (devices_ != nullptr) {
      libusb_free_device_list(devices_, 1);
    }
  }
  DeviceList(const DeviceList&) = delete;
  DeviceList& operator=(const DeviceList&) = delete;

  // The list ends with a null entry. Stops at the first device for which
  // `visit` gives true.
  template <typename Visit>
  void ForEach(Visit visit) const {
    for (libusb_device** device = devices_; device != nullptr && *device != nullptr; ++device) {
      if (visit(*device)) {
        return;
      }
    }
  }

 private:
  libusb_device** devices_ = nullptr;
};

struct LibusbBackend::Claim {
  Claim(libusb_device_handle* opened, std::string devicePath, RemoteInterface claimed)
      : handle(opened), path(std::move(devicePath)), interface(std::move(claimed)) {}
  ~Claim() {
    libusb_release_interface(handle, interface.number);
    libusb_close(handle);
  }
  Claim(const Claim&) = delete;
  Claim& operator=(const Claim&) = delete;

  libusb_device_handle* handle;
  std::string path;
  RemoteInterface interface;
};

struct LibusbBackend::Transfer {
  libusb_transfer* usb = nullptr;
  std::vector<unsigned char> buffer;
  std::span<std::byte> into;  // a read's destination: it gets what fits
  int ended = 0;              // libusb's "completed" marker for this transfer
  bool completed = false;
  std::uint32_t count = 0;
  Cause cause;

  ~Transfer() { libusb_free_transfer(usb); }
};

LibusbBackend::LibusbBackend() {
  if (libusb_init(&context_) != LIBUSB_SUCCESS) {
    context_ = nullptr;
  }
}

LibusbBackend::~LibusbBackend() {
  while (!files_.empty()) {
    ClosePipe(files_.begin()->first);
  }
  walked_.reset();
  if (context_ != nullptr) {
    libusb_exit(context_);
  }
}

void LibusbBackend::VisitInterfaces(const Guid& interfaceClass,
                                    const std::function<bool(std::string_view path)>& visit) {
  if (interfaceClass != InterfaceClass) {
    return;
  }
  walked_ = std::make_unique<DeviceList>(context_);
  walked_->ForEach([&](libusb_device* device) {
    const auto info = DescribeDevice(device);
    return info && visit(info->Path());
  });
}

libusb_device* LibusbBackend::Walked(std::string_view path, UsbDeviceInfo& info) const {
  libusb_device* found = nullptr;
  if (walked_) {
    walked_->ForEach([&](libusb_device* device) {
      auto described = DescribeDevice(device);
      if (!described || !SameTextIgnoringCase(described->Path(), path)) {
        return false;
      }
      info = std::move(*described);
      found = device;
      return true;
    });
  }
  return found;
}

std::string LibusbBackend::DescribeInterface(std::string_view path) {
  UsbDeviceInfo info;
  if (Walked(path, info) == nullptr) {
    return std::string(path);
  }
  char text[96];
  std::snprintf(text, sizeof text, "USB %04X:%04X on bus %u port %s", info.vendor, info.product,
                unsigned{info.where.bus}, info.where.portPath.c_str());
  return text;
}

std::string LibusbBackend::SerialNumber(std::string_view path) {
  UsbDeviceInfo info;
  libusb_device* device = Walked(path, info);
  return device == nullptr ? std::string() : ReadSerialNumber(device, info.serialIndex);
}

void LibusbBackend::WaitForArrival(std::uint32_t ms) {
  if (context_ == nullptr || libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) == 0) {
    Sleep(ms);
    return;
  }
  // Any arrival wakes the wait: the caller looks for remotes afresh.
  int arrived = 0;
  const auto noted = [](libusb_context*, libusb_device*, libusb_hotplug_event, void* flag) {
    *static_cast<int*>(flag) = 1;
    return 1;  // once is enough: deregistered by libusb
  };
  libusb_hotplug_callback_handle callback = 0;
  if (libusb_hotplug_register_callback(context_, LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED,
                                       LIBUSB_HOTPLUG_NO_FLAGS, LIBUSB_HOTPLUG_MATCH_ANY,
                                       LIBUSB_HOTPLUG_MATCH_ANY, LIBUSB_HOTPLUG_MATCH_ANY, noted,
                                       &arrived, &callback) != LIBUSB_SUCCESS) {
    Sleep(ms);
    return;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (auto now = Clock::now(); arrived == 0 && now < deadline; now = Clock::now()) {
    timeval remaining = Timeval(deadline - now);
    libusb_handle_events_timeout_completed(context_, &remaining, &arrived);
  }
  if (arrived == 0) {
    libusb_hotplug_deregister_callback(context_, callback);
  }
}

std::shared_ptr<LibusbBackend::Claim> LibusbBackend::ClaimAt(std::string_view interfacePath,
                                                             Cause& cause) {
  for (const auto& [handle, file] : files_) {
    if (SameTextIgnoringCase(file.claim->path, interfacePath)) {
      return file.claim;
    }
  }
  // With nothing open on the path, the device is found by where it sits: a
  // remote that restarted is a new device at the same place. The last walk
  // has usually just seen it.
  if (walked_) {
    if (auto claim = ClaimIn(*walked_, interfacePath, cause)) {
      return claim;
    }
    if (cause.kind != CauseKind::DeviceGone) {
      return nullptr;
    }
  }
  return ClaimIn(DeviceList(context_), interfacePath, cause);
}

std::shared_ptr<LibusbBackend::Claim> LibusbBackend::ClaimIn(const DeviceList& devices,
                                                             std::string_view interfacePath,
                                                             Cause& cause) {
  cause = {CauseKind::DeviceGone, LIBUSB_ERROR_NO_DEVICE,
           "no remote at " + std::string(interfacePath)};
  std::shared_ptr<Claim> claim;
  devices.ForEach([&](libusb_device* device) {
    const auto info = DescribeDevice(device);
    if (!info || !info->remoteInterface || !SameTextIgnoringCase(info->Path(), interfacePath)) {
      return false;
    }
    libusb_device_handle* opened = nullptr;
    int result = libusb_open(device, &opened);
    if (result == LIBUSB_SUCCESS) {
      result = libusb_claim_interface(opened, info->remoteInterface->number);
      if (result != LIBUSB_SUCCESS) {
        libusb_close(opened);
      }
    }
    if (result != LIBUSB_SUCCESS) {
      cause = CauseOf(result);
      return true;
    }
    claim = std::make_shared<Claim>(opened, info->Path(), *info->remoteInterface);
    cause = {};
    return true;
  });
  return claim;
}

Opened LibusbBackend::OpenPipe(const std::string& name, Pipe, PipeUse) {
  const auto pipeName = ParsePipeName(name);
  if (!pipeName) {
    return {InvalidHandle, CauseOf(LIBUSB_ERROR_INVALID_PARAM)};
  }
  Cause cause;
  std::shared_ptr<Claim> claim = ClaimAt(pipeName->interfacePath, cause);
  if (!claim) {
    return {InvalidHandle, cause};
  }
  if (pipeName->pipe >= claim->interface.endpoints.size()) {
    return {InvalidHandle, CauseOf(LIBUSB_ERROR_NOT_FOUND)};
  }
  const Endpoint& endpoint = claim->interface.endpoints[pipeName->pipe];
  files_.emplace(nextHandle_,
                 PipeFile{std::move(claim), endpoint.address, endpoint.maxPacketSize, nullptr});
  return {nextHandle_++, {}};
}

void LibusbBackend::ClosePipe(Handle file) {
  CancelAndCollect(file);
  files_.erase(file);  // the last file on a path releases its claim
}

void LibusbBackend::Start(Handle file, std::unique_ptr<Transfer> transfer, bool toDevice) {
  const auto found = files_.find(file);
  if (found == files_.end()) {
    return;
  }
  // One transfer at a time per file: one left uncollected is dropped first.
  CancelAndCollect(file);
  PipeFile& pipe = found->second;
  const bool rightWay = ((pipe.endpoint & LIBUSB_ENDPOINT_IN) == 0) == toDevice;
  transfer->usb = libusb_alloc_transfer(0);
  bool started = false;
  if (rightWay && transfer->usb != nullptr) {
    const auto ended = [](libusb_transfer* usb) {
      auto& t = *static_cast<Transfer*>(usb->user_data);
      t.ended = 1;
      t.completed = usb->status == LIBUSB_TRANSFER_COMPLETED;
      t.count = t.completed ? static_cast<std::uint32_t>(usb->actual_length) : 0;
      if (usb->status == LIBUSB_TRANSFER_NO_DEVICE) {
        t.cause = CauseOf(LIBUSB_ERROR_NO_DEVICE);
      } else if (usb->status == LIBUSB_TRANSFER_STALL || usb->status == LIBUSB_TRANSFER_ERROR) {
        t.cause =
            CauseOf(usb->status == LIBUSB_TRANSFER_STALL ? LIBUSB_ERROR_PIPE : LIBUSB_ERROR_IO);
      }
    };
    // No "short not OK" flag: a short or zero-length packet ends a read.
    libusb_fill_bulk_transfer(transfer->usb, pipe.claim->handle, pipe.endpoint,
                              transfer->buffer.data(), static_cast<int>(transfer->buffer.size()),
                              ended, transfer.get(), 0);
    const int submitted = libusb_submit_transfer(transfer->usb);
    started = submitted == LIBUSB_SUCCESS;
    if (!started) {
      transfer->cause = CauseOf(submitted);
    }
  }
  // Failed at once, a device gone among the causes: ended, not completed.
  transfer->ended = started ? 0 : 1;
  pipe.transfer = std::move(transfer);
}

void LibusbBackend::StartRead(Handle file, std::span<std::byte> into) {
  const auto found = files_.find(file);
  if (found == files_.end()) {
    return;
  }
  // Whole packets, so that a remote sending more than asked is seen with
  // its full count instead of overflowing the transfer.
  const std::size_t packet = std::max<std::size_t>(found->second.maxPacketSize, 1);
  auto transfer = std::make_unique<Transfer>();
  transfer->buffer.resize((into.size() + packet - 1) / packet * packet);
  transfer->into = into;
  Start(file, std::move(transfer), false);
}

void LibusbBackend::StartWrite(Handle file, std::span<const std::byte> from) {
  auto transfer = std::make_unique<Transfer>();
  const auto* bytes = reinterpret_cast<const unsigned char*>(from.data());
  transfer->buffer.assign(bytes, bytes + from.size());
  Start(file, std::move(transfer), true);
}

WaitResult LibusbBackend::Wait(Handle file, std::uint32_t timeoutMs) {
  const auto found = files_.find(file);
  if (found == files_.end() || !found->second.transfer || context_ == nullptr) {
    return WaitResult::Failed;
  }
  Transfer& transfer = *found->second.transfer;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (transfer.ended == 0) {
    const auto now = Clock::now();
    if (now >= deadline) {
      return WaitResult::TimedOut;
    }
    // Blocks in libusb's poll for at most the remaining time; returns early
    // when this or another transfer ends.
    timeval remaining = Timeval(deadline - now);
    const int result =
        libusb_handle_events_timeout_completed(context_, &remaining, &transfer.ended);
    if (result != LIBUSB_SUCCESS && result != LIBUSB_ERROR_INTERRUPTED) {
      return WaitResult::Failed;
    }
  }
  return WaitResult::Ended;
}

void LibusbBackend::Finish(Transfer& transfer) {
  // libusb ends every submitted transfer, a cancelled one or one on a
  // device that went away included, through its callback.
  while (transfer.ended == 0) {
    timeval slice = Timeval(std::chrono::seconds(1));
    libusb_handle_events_timeout_completed(context_, &slice, &transfer.ended);
  }
}

Collected LibusbBackend::CancelAndCollect(Handle file) {
  const auto found = files_.find(file);
  if (found == files_.end() || !found->second.transfer) {
    return {};
  }
  const std::unique_ptr<Transfer> transfer = std::move(found->second.transfer);
  if (transfer->ended == 0) {
    libusb_cancel_transfer(transfer->usb);
    Finish(*transfer);
  }
  const std::size_t fits = std::min<std::size_t>(transfer->count, transfer->into.size());
  if (fits > 0) {
    std::memcpy(transfer->into.data(), transfer->buffer.data(), fits);
  }
  return {transfer->completed, transfer->count, transfer->cause};
}

void LibusbBackend::Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::uint32_t LibusbBackend::TickCount() {
  const auto sinceStart = Clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

}  // namespace corvane::link
