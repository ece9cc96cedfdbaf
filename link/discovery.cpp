#include "link/device_link.h"
#include "link/text.h"

namespace corvane::link {

std::string CutAtNul(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

bool IsRemotePath(std::string_view path) {
  const std::string probe = UpperCase(path);
  for (std::string_view token : {VendorToken, ProductToken, ClassToken}) {
    if (probe.find(token) == std::string::npos) {
      return false;
    }
  }
  return true;
}

}  // namespace corvane::link
