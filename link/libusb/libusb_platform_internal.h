// Parts of LibusbPlatform shared by its source files.
#pragma once

#include <libusb.h>

#include <cstdint>
#include <vector>

#include "link/libusb/libusb_platform.h"

namespace corvane::link {

struct LibusbPlatform::ClaimedInterface {
  ClaimedInterface(libusb_device_handle* opened, std::uint8_t number)
      : handle(opened), interfaceNumber(number) {}
  ~ClaimedInterface() {
    libusb_release_interface(handle, interfaceNumber);
    libusb_close(handle);
  }
  ClaimedInterface(const ClaimedInterface&) = delete;
  ClaimedInterface& operator=(const ClaimedInterface&) = delete;

  libusb_device_handle* handle;
  std::uint8_t interfaceNumber;
};

struct LibusbPlatform::Transfer {
  LibusbPlatform* owner = nullptr;
  libusb_transfer* usb = nullptr;
  Event event = 0;
  // A read lands in its own buffer, a whole number of packets long, so that
  // a remote sending more than asked cannot overflow it; the caller's buffer
  // gets what fits.
  std::vector<unsigned char> readBuffer;
  std::byte* destination = nullptr;
  std::uint32_t count = 0;
  int ended = 0;  // libusb's "completed" marker for this transfer
  bool completed = false;
  std::uint32_t transferred = 0;

  ~Transfer() { libusb_free_transfer(usb); }
};

}  // namespace corvane::link
