// The libusb backend's reading of a device's descriptors, fed descriptors
// made from the input (the format: fuzz/make_seeds.py), every pointer and
// count agreeing as libusb gives them.
#include <libusb.h>

#include <deque>

#include "input.h"
#include "link/device_link.h"
#include "link/libusb/usb_device_info.h"

namespace {

struct Configuration {
  explicit Configuration(corvane::fuzz::InputReader& input) : interfaces(input.Byte()) {
    for (libusb_interface& interface : interfaces) {
      auto& settings = settingLists.emplace_back(input.Byte());
      for (libusb_interface_descriptor& setting : settings) {
        setting.bInterfaceClass = input.Byte();
        setting.bNumEndpoints = input.Byte();
        setting.endpoint = endpointLists.emplace_back(setting.bNumEndpoints).data();
        for (auto& endpoint : endpointLists.back()) {
          endpoint.bEndpointAddress = input.Byte();
          endpoint.bmAttributes = input.Byte();
        }
      }
      interface = {settings.data(), static_cast<int>(settings.size())};
    }
    descriptor.bNumInterfaces = static_cast<std::uint8_t>(interfaces.size());
    descriptor.interface = interfaces.data();
  }
  std::vector<libusb_interface> interfaces;
  std::deque<std::vector<libusb_interface_descriptor>> settingLists;
  std::deque<std::vector<libusb_endpoint_descriptor>> endpointLists;
  libusb_config_descriptor descriptor{};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace corvane;
  fuzz::InputReader input({data, size});
  libusb_device_descriptor device{};
  for (std::uint16_t* id : {&device.idVendor, &device.idProduct}) {
    *id = static_cast<std::uint16_t>(input.Byte() << 8);
    *id |= input.Byte();
  }
  const link::UsbLocation where{input.Byte(), link::PortPath(input.Bytes(input.Byte() % 8))};
  // Which could be read: bit 0 the active configuration, bit 1 the first.
  const std::uint8_t readable = input.Byte();
  std::optional<Configuration> configurations[2];
  for (int i = 0; i < 2; ++i) {
    if (readable >> i & 1) {
      configurations[i].emplace(input);
    }
  }
  const auto descriptor = [](auto& read) { return read ? &read->descriptor : nullptr; };
  const link::UsbDeviceInfo info = link::DescribeDescriptors(device, descriptor(configurations[0]),
                                                             descriptor(configurations[1]), where);
  fuzz::Require(!info.remoteInterface || info.remoteInterface->endpoints.size() >= 2,
                "a remote's interface has its two pipes");
  fuzz::Require(
      link::IsRemotePath(info.Path()) == (device.idVendor == 0xEC4B && device.idProduct == 0x7A10 &&
                                          info.remoteInterface.has_value()),
      "only the remote's USB id with its interface reads as the remote");
  return 0;
}
