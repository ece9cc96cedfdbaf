// What the link needs to know of a USB device found by libusb.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/libusb/interface_path.h"

struct libusb_device;

namespace corvane::link {

struct Endpoint {
  std::uint8_t address = 0;
  std::uint16_t maxPacketSize = 0;
};

// The remote's kind of interface: vendor-specific, with at least two bulk
// endpoints. Its endpoints in descriptor order are the driver's pipes.
struct RemoteInterface {
  std::uint8_t number = 0;
  std::vector<Endpoint> endpoints;
};

struct UsbDeviceInfo {
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  UsbLocation where;
  std::optional<RemoteInterface> remoteInterface;

  std::string Path() const;
};

// Empty when the device's descriptors cannot be read.
std::optional<UsbDeviceInfo> DescribeDevice(libusb_device* device);

}  // namespace corvane::link
