#include "link/libusb/libusb_platform.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iomanip>
#include <iostream>

#include "link/libusb/libusb_platform_internal.h"
#include "link/libusb/usb_device_info.h"

namespace corvane::link {
namespace {

using Clock = std::chrono::steady_clock;

timeval Timeval(Clock::duration span) {
  const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(span).count();
  return {static_cast<time_t>(micros / 1000000), static_cast<suseconds_t>(micros % 1000000)};
}

// Without the shipped udev rule a desktop user may not open the remote; the
// run still ends as "no usb device", and this line says what to do.
void ReportDenied(std::ostream& out, const UsbDeviceInfo& info) {
  out << "corvane-updater: no permission to open the remote (USB " << std::hex << std::uppercase
      << std::setfill('0') << std::setw(4) << info.vendor << ':' << std::setw(4) << info.product
      << std::dec << std::nouppercase << std::setfill(' ') << " on bus "
      << static_cast<int>(info.where.bus) << " port " << info.where.portPath
      << "); copy the udev rule 70-corvane-remote.rules (packaging/ in the sources, or "
         "lib/udev/rules.d where the program is installed) into /etc/udev/rules.d, then unplug "
         "the remote and plug it in again.\n"
      << std::flush;
}

}  // namespace

LibusbPlatform::LibusbPlatform() : LibusbPlatform(std::cerr) {}

LibusbPlatform::LibusbPlatform(std::ostream& diagnostics) : diagnostics_(diagnostics) {
  if (libusb_init(&context_) != LIBUSB_SUCCESS) {
    context_ = nullptr;
  }
}

LibusbPlatform::~LibusbPlatform() {
  while (!files_.empty()) {
    CloseHandle(files_.begin()->first);
  }
  while (!sets_.empty()) {
    SetupDiDestroyDeviceInfoList(sets_.begin()->first);
  }
  if (context_ != nullptr) {
    libusb_exit(context_);
  }
}

std::shared_ptr<LibusbPlatform::ClaimedInterface> LibusbPlatform::Claim(libusb_device* device,
                                                                        const UsbDeviceInfo& info) {
  for (const auto& [handle, file] : files_) {
    if (libusb_get_device(file.interface->handle) == device) {
      return file.interface;
    }
  }
  libusb_device_handle* opened = nullptr;
  const int result = libusb_open(device, &opened);
  if (result != LIBUSB_SUCCESS) {
    if (result == LIBUSB_ERROR_ACCESS && reportedDenials_.insert(info.Path()).second) {
      ReportDenied(diagnostics_, info);
    }
    return nullptr;
  }
  const std::uint8_t number = info.remoteInterface->number;
  if (libusb_claim_interface(opened, number) != LIBUSB_SUCCESS) {
    libusb_close(opened);
    return nullptr;
  }
  return std::make_shared<ClaimedInterface>(opened, number);
}

Handle LibusbPlatform::CreateFile(const std::string& name, const FileOpen&) {
  const auto pipeName = ParsePipeName(name);
  if (context_ == nullptr || !pipeName) {
    return InvalidHandle;
  }
  // The device is found again by where it sits: a remote that restarted is
  // a new device at the same place.
  libusb_device** devices = nullptr;
  const ssize_t count = libusb_get_device_list(context_, &devices);
  PipeFile file;
  for (ssize_t i = 0; i < count && !file.interface; ++i) {
    const auto info = DescribeDevice(devices[i]);
    if (!info || !info->remoteInterface ||
        !SameTextIgnoringCase(info->Path(), pipeName->interfacePath) ||
        pipeName->pipe >= info->remoteInterface->endpoints.size()) {
      continue;
    }
    const Endpoint& endpoint = info->remoteInterface->endpoints[pipeName->pipe];
    file.endpoint = endpoint.address;
    file.maxPacketSize = endpoint.maxPacketSize;
    file.interface = Claim(devices[i], *info);
  }
  if (count >= 0) {
    libusb_free_device_list(devices, 1);
  }
  if (!file.interface) {
    return InvalidHandle;
  }
  files_.emplace(nextHandle_, std::move(file));
  return nextHandle_++;
}

void LibusbPlatform::CloseHandle(Handle file) {
  const auto found = files_.find(file);
  if (found == files_.end()) {
    return;
  }
  CancelAndFinish(found->second);
  files_.erase(found);  // the last file on an interface releases it
}

Event LibusbPlatform::CreateEvent() {
  events_.emplace(nextEvent_, 1);
  return nextEvent_++;
}

void LibusbPlatform::ResetEvent(Event event) {
  const auto found = events_.find(event);
  if (found != events_.end()) {
    found->second = 0;
  }
}

void LibusbPlatform::CloseEvent(Event event) {
  events_.erase(event);
}

void LibusbPlatform::Signal(Event event) {
  const auto found = events_.find(event);
  if (found != events_.end()) {
    found->second = 1;
  }
}

void LibusbPlatform::TransferEnded(libusb_transfer* usbTransfer) {
  auto& transfer = *static_cast<Transfer*>(usbTransfer->user_data);
  transfer.ended = 1;
  transfer.completed = usbTransfer->status == LIBUSB_TRANSFER_COMPLETED;
  transfer.transferred =
      transfer.completed ? static_cast<std::uint32_t>(usbTransfer->actual_length) : 0;
  if (transfer.destination != nullptr && transfer.transferred > 0) {
    std::memcpy(transfer.destination, transfer.readBuffer.data(),
                std::min(transfer.transferred, transfer.count));
  }
  transfer.owner->Signal(transfer.event);
}

void LibusbPlatform::CancelAndFinish(PipeFile& file) {
  if (file.transfer && !file.transfer->ended) {
    libusb_cancel_transfer(file.transfer->usb);
    Finish(*file.transfer);
  }
}

void LibusbPlatform::Finish(Transfer& transfer) {
  // libusb ends every submitted transfer, a cancelled one or one on a
  // device that went away included, through its callback.
  constexpr auto Slice = std::chrono::seconds(1);
  while (transfer.ended == 0) {
    timeval slice = Timeval(Slice);
    libusb_handle_events_timeout_completed(context_, &slice, &transfer.ended);
  }
}

void LibusbPlatform::Start(PipeFile& file, Overlap& overlap, std::unique_ptr<Transfer> transfer,
                           unsigned char* data, std::uint32_t length, bool toDevice) {
  // One transfer at a time per file: one left uncollected is dropped first.
  CancelAndFinish(file);
  file.transfer.reset();
  transfer->owner = this;
  transfer->event = overlap.hEvent;
  ResetEvent(transfer->event);
  const bool rightWay = ((file.endpoint & LIBUSB_ENDPOINT_IN) == 0) == toDevice;
  transfer->usb = libusb_alloc_transfer(0);
  bool started = false;
  if (rightWay && transfer->usb != nullptr) {
    // No "short not OK" flag: a short or zero-length packet ends a read.
    libusb_fill_bulk_transfer(transfer->usb, file.interface->handle, file.endpoint, data,
                              static_cast<int>(length), TransferEnded, transfer.get(), 0);
    started = libusb_submit_transfer(transfer->usb) == LIBUSB_SUCCESS;
  }
  if (!started) {
    // Failed at once, a device gone among the causes: ended, not completed.
    transfer->ended = 1;
    Signal(transfer->event);
  }
  file.transfer = std::move(transfer);
}

void LibusbPlatform::ReadFile(Handle file, std::byte* buffer, std::uint32_t count,
                              Overlap& overlap) {
  const auto found = files_.find(file);
  if (found == files_.end()) {
    Signal(overlap.hEvent);
    return;
  }
  PipeFile& pipe = found->second;
  auto transfer = std::make_unique<Transfer>();
  const std::uint32_t packet = std::max<std::uint32_t>(pipe.maxPacketSize, 1);
  transfer->readBuffer.resize((std::size_t{count} + packet - 1) / packet * packet);
  transfer->destination = buffer;
  transfer->count = count;
  unsigned char* data = transfer->readBuffer.data();
  const auto length = static_cast<std::uint32_t>(transfer->readBuffer.size());
  Start(pipe, overlap, std::move(transfer), data, length, false);
}

void LibusbPlatform::WriteFile(Handle file, const std::byte* buffer, std::uint32_t count,
                               Overlap& overlap) {
  const auto found = files_.find(file);
  if (found == files_.end()) {
    Signal(overlap.hEvent);
    return;
  }
  // libusb takes a mutable buffer but only reads it for a transfer out.
  auto* data = reinterpret_cast<unsigned char*>(const_cast<std::byte*>(buffer));
  Start(found->second, overlap, std::make_unique<Transfer>(), data, count, true);
}

std::uint32_t LibusbPlatform::WaitForSingleObject(Event event, std::uint32_t timeoutMs) {
  const auto found = events_.find(event);
  if (found == events_.end() || context_ == nullptr) {
    return WaitFailed;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (found->second == 0) {
    const auto now = Clock::now();
    if (now >= deadline) {
      return WaitTimeout;
    }
    // Blocks in libusb's poll for at most the remaining time; returns early
    // when a transfer ends or the event is signalled.
    timeval remaining = Timeval(deadline - now);
    const int result = libusb_handle_events_timeout_completed(context_, &remaining, &found->second);
    if (result != LIBUSB_SUCCESS && result != LIBUSB_ERROR_INTERRUPTED) {
      return WaitFailed;
    }
  }
  return WaitObject0;
}

void LibusbPlatform::CancelIo(Handle file) {
  const auto found = files_.find(file);
  if (found != files_.end()) {
    CancelAndFinish(found->second);
  }
}

bool LibusbPlatform::GetOverlappedResult(Handle file, Overlap&, std::uint32_t& transferred) {
  transferred = 0;
  const auto found = files_.find(file);
  if (found == files_.end() || !found->second.transfer) {
    return false;
  }
  std::unique_ptr<Transfer> transfer = std::move(found->second.transfer);
  Finish(*transfer);
  transferred = transfer->transferred;
  return transfer->completed;
}

std::uint32_t LibusbPlatform::GetTickCount() {
  const auto sinceStart = Clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(sinceStart).count());
}

}  // namespace corvane::link
