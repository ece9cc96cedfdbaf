#include <algorithm>

#include "link/device_link.h"
#include "link/link_state.h"

namespace corvane::link {
namespace {

using detail::state;

std::string UpperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  });
  return text;
}

bool CarriesAllTokens(const std::string& probe) {
  for (std::string_view token : {VendorToken, ProductToken, ClassToken}) {
    if (probe.find(token) == std::string::npos) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string CutAtNul(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

std::string FirstRemotePath(const std::vector<std::string>& paths) {
  for (const std::string& path : paths) {
    if (CarriesAllTokens(UpperCase(path))) {
      return UpperCase(CutAtNul(path));
    }
  }
  return {};
}

std::string FindDevicePath() {
  state.devicePath = state.backend == nullptr
                         ? std::string()
                         : FirstRemotePath(state.backend->InterfacePaths(InterfaceClass));
  return state.devicePath;
}

}  // namespace corvane::link
