#include <algorithm>
#include <cstring>
#include <vector>

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

// The path of one interface as the system reports it, with the NUL and the
// zero bytes behind it; empty when the system reports no room for a path.
std::string InterfacePath(Platform& platform, DeviceSet set, const InterfaceRecord& record) {
  std::uint32_t required = 0;
  platform.SetupDiGetDeviceInterfaceDetail(set, record, {}, &required);
  // A size that leaves no room behind the size field holds no path; one
  // byte more than reported keeps the text NUL-terminated whatever is filled.
  if (required <= DetailPathOffset) {
    return {};
  }
  std::vector<std::byte> detail(std::size_t{required} + 1);
  const std::uint32_t recordSize = platform.DetailRecordSize();
  std::memcpy(detail.data(), &recordSize, sizeof recordSize);
  platform.SetupDiGetDeviceInterfaceDetail(set, record,
                                           std::span<std::byte>(detail.data(), required), nullptr);
  return std::string(reinterpret_cast<const char*>(detail.data()) + DetailPathOffset,
                     detail.size() - DetailPathOffset);
}

}  // namespace

std::string CutAtNul(std::string_view text) {
  return std::string(text.substr(0, text.find('\0')));
}

std::string FindDevicePath() {
  Platform& platform = *state.platform;
  std::string result;
  const DeviceSet set = platform.SetupDiGetClassDevs(InterfaceClass);
  if (set != InvalidDeviceSet) {
    InterfaceRecord record;
    for (std::uint32_t index = 0;
         platform.SetupDiEnumDeviceInterfaces(set, InterfaceClass, index, record); ++index) {
      const std::string path = InterfacePath(platform, set, record);
      if (CarriesAllTokens(UpperCase(path))) {
        result = UpperCase(CutAtNul(path));
        break;
      }
    }
    platform.SetupDiDestroyDeviceInfoList(set);
  }
  state.devicePath = result;
  return result;
}

}  // namespace corvane::link
