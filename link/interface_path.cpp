#include "link/interface_path.h"

#include <algorithm>
#include <cstdio>

#include "link/device_link.h"
#include "link/text.h"

namespace corvane::link {
namespace {

std::string ClassText() {
  std::string text = "{";
  for (const char c : ClassToken) {
    text += LowerAscii(c);
  }
  return text + "}";
}

}  // namespace

std::string PortPath(std::span<const std::uint8_t> ports) {
  std::string path;
  for (const std::uint8_t port : ports) {
    if (!path.empty()) {
      path += '.';
    }
    path += std::to_string(port);
  }
  // A root hub sits on no port.
  return path.empty() ? "0" : path;
}

std::string InterfacePath(std::uint16_t vendor, std::uint16_t product, std::string_view instance,
                          bool carriesRemoteInterface) {
  char ids[32];
  std::snprintf(ids, sizeof ids, "vid_%04x&pid_%04x", vendor, product);
  std::string path = "\\\\?\\usb#";
  path.append(ids).append("#").append(instance);
  if (carriesRemoteInterface) {
    path.append("#").append(ClassText());
  }
  return path;
}

std::optional<PipeName> ParsePipeName(std::string_view name) {
  constexpr std::string_view Prefix = "\\PIPE";
  constexpr std::size_t SuffixSize = Prefix.size() + 2;
  if (name.size() <= SuffixSize) {
    return std::nullopt;
  }
  const std::string_view suffix = name.substr(name.size() - SuffixSize);
  const char tens = suffix[Prefix.size()];
  const char units = suffix[Prefix.size() + 1];
  if (!SameTextIgnoringCase(suffix.substr(0, Prefix.size()), Prefix) || tens < '0' || tens > '9' ||
      units < '0' || units > '9') {
    return std::nullopt;
  }
  return PipeName{name.substr(0, name.size() - SuffixSize),
                  static_cast<unsigned>((tens - '0') * 10 + (units - '0'))};
}

}  // namespace corvane::link
