// What the link needs to know of a USB device found by libusb.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/interface_path.h"

struct libusb_device;
struct libusb_device_descriptor;
struct libusb_config_descriptor;

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
  std::uint8_t serialIndex = 0;  // the serial number's string descriptor; 0: none

  std::string Path() const;
};

// Empty when the device's descriptors cannot be read.
std::optional<UsbDeviceInfo> DescribeDevice(libusb_device* device);

// The serial number of a device whose descriptor names one at `index`, read
// through a handle opened for it and closed again; empty when the device has
// none, cannot be opened (this user may not), or gives one that would not
// read as a single word: printable ASCII without blanks.
std::string ReadSerialNumber(libusb_device* device, std::uint8_t index);

// What DescribeDevice makes of the descriptors libusb gave: the active
// configuration, or nullptr when there is none; then the first one, or
// nullptr when it could not be read either.
UsbDeviceInfo DescribeDescriptors(const libusb_device_descriptor& device,
                                  const libusb_config_descriptor* active,
                                  const libusb_config_descriptor* first, UsbLocation where);

}  // namespace corvane::link
