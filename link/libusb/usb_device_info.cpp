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
std::optional<RemoteInterface> FindRemoteInterface(libusb_device* device) {
  libusb_config_descriptor* config = nullptr;
  if (libusb_get_active_config_descriptor(device, &config) != LIBUSB_SUCCESS &&
      libusb_get_config_descriptor(device, 0, &config) != LIBUSB_SUCCESS) {
    return std::nullopt;
  }
  std::optional<RemoteInterface> found;
  for (int i = 0; i < config->bNumInterfaces && !found; ++i) {
    const libusb_interface& interface = config->interface[i];
    if (interface.num_altsetting > 0) {
      found = FromDescriptor(interface.altsetting[0]);
    }
  }
  libusb_free_config_descriptor(config);
  return found;
}

}  // namespace

std::string UsbDeviceInfo::Path() const {
  return InterfacePath(vendor, product, where, remoteInterface.has_value());
}

std::optional<UsbDeviceInfo> DescribeDevice(libusb_device* device) {
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(device, &descriptor) != LIBUSB_SUCCESS) {
    return std::nullopt;
  }
  UsbDeviceInfo info;
  info.vendor = descriptor.idVendor;
  info.product = descriptor.idProduct;
  std::array<std::uint8_t, 7> ports{};  // the most hub tiers USB allows
  const int depth =
      std::max(0, libusb_get_port_numbers(device, ports.data(), static_cast<int>(ports.size())));
  info.where = {libusb_get_bus_number(device),
                PortPath(std::span(ports).first(static_cast<std::size_t>(depth)))};
  info.remoteInterface = FindRemoteInterface(device);
  return info;
}

}  // namespace corvane::link
