// How a USB device appears to the link where the system has no driver to
// name it (Linux, a browser): as an interface path in the form the remote's
// Windows driver registers, and pipe files below it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace corvane::link {

// Where a device sits: its bus and the hub ports leading to it (1.4.2).
struct UsbLocation {
  std::uint8_t bus = 0;
  std::string portPath;

  // As an interface path's instance part: 1-1.4.
  std::string Instance() const { return std::to_string(bus) + "-" + portPath; }
};

// \\?\usb#vid_ec4b&pid_7a10#INSTANCE#{5b3e29a1-...}: lower-case hex; the
// class part only for a device that carries the remote's kind of interface.
std::string InterfacePath(std::uint16_t vendor, std::uint16_t product, std::string_view instance,
                          bool carriesRemoteInterface);

std::string PortPath(std::span<const std::uint8_t> ports);

// A pipe file name: an interface path followed by \PIPEnn.
struct PipeName {
  std::string_view interfacePath;
  unsigned pipe = 0;
};
std::optional<PipeName> ParsePipeName(std::string_view name);

}  // namespace corvane::link
