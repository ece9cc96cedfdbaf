#include "link/libusb/usb_device_info.h"

#include <libusb.h>

#include <algorithm>
#include <array>

namespace corvane::link {
namespace {

constexpr int MinimumBulkEndpoints = 2;

std::optional<RemoteInterface> FromDescriptor(const libusb_interface_descriptor& interface) {
  if (interface.bInterfaceClass != LIBUSB_CLASS_VENDOR_SPEC) {
    return std::nullopt;
  }
  RemoteInterface found;
  found.number = interface.bInterfaceNumber;
  int bulk = 0;
  for (int i = 0; i < interface.bNumEndpoints; ++i) {
    const libusb_endpoint_descriptor& endpoint = interface.endpoint[i];
    if ((endpoint.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) == LIBUSB_TRANSFER_TYPE_BULK) {
      ++bulk;
    }
    found.endpoints.push_back({endpoint.bEndpointAddress, endpoint.wMaxPacketSize});
  }
  if (bulk < MinimumBulkEndpoints) {
    return std::nullopt;
  }
  return found;
}

// The first alternate setting of each interface is the one in use after the
// interface is claimed.
std::optional<RemoteInterface> FindRemoteInterface(const libusb_config_descriptor& config) {
  for (int i = 0; i < config.bNumInterfaces; ++i) {
    const libusb_interface& interface = config.interface[i];
    if (interface.num_altsetting > 0) {
      if (auto found = FromDescriptor(interface.altsetting[0])) {
        return found;
      }
    }
  }
  return std::nullopt;
}

}  // namespace

std::string UsbDeviceInfo::Path() const {
  return InterfacePath(vendor, product, where.Instance(), remoteInterface.has_value());
}

UsbDeviceInfo DescribeDescriptors(const libusb_device_descriptor& device,
                                  const libusb_config_descriptor* active,
                                  const libusb_config_descriptor* first, UsbLocation where) {
  UsbDeviceInfo info;
  info.vendor = device.idVendor;
  info.product = device.idProduct;
  info.where = std::move(where);
  info.serialIndex = device.iSerialNumber;
  if (const libusb_config_descriptor* config = active != nullptr ? active : first) {
    info.remoteInterface = FindRemoteInterface(*config);
  }
  return info;
}

std::string ReadSerialNumber(libusb_device* device, std::uint8_t index) {
  libusb_device_handle* handle = nullptr;
  if (index == 0 || libusb_open(device, &handle) != LIBUSB_SUCCESS) {
    return {};
  }
  // A string descriptor holds at most 126 characters; libusb ends them with
  // a NUL.
  std::array<unsigned char, 128> text{};
  const int length =
      libusb_get_string_descriptor_ascii(handle, index, text.data(), static_cast<int>(text.size()));
  libusb_close(handle);
  if (length <= 0) {
    return {};
  }
  std::string serial(text.begin(), text.begin() + length);
  return std::ranges::all_of(serial, [](char c) { return c > ' ' && c <= '~'; }) ? serial
                                                                                 : std::string();
}

std::optional<UsbDeviceInfo> DescribeDevice(libusb_device* device) {
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) {
    return std::nullopt;
  }
  std::array<std::uint8_t, 7> ports{};  // the most hub tiers USB allows
  const int depth =
      std::max(0, libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size())));
  libusb_config_descriptor* active = nullptr;
  libusb_config_descriptor* first = nullptr;
  if (libusb_get_active_config_descriptor(device, &active) != LIBUSB_SUCCESS) {
    active = nullptr;
    if (libusb_get_config_descriptor(device, 0, &first) != LIBUSB_SUCCESS) {
      first = nullptr;
    }
  }
  UsbDeviceInfo info =
      DescribeDescriptors(descriptor, active, first,
                          {libusb_get_bus_number(device),
                           PortPath(std::span(ports).first(static_cast<std::size_t>(depth)))});
  libusb_free_config_descriptor(active);
  libusb_free_config_descriptor(first);
  return info;
}

}  // namespace corvane::link
