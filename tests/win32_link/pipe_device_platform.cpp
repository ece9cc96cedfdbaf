#include "pipe_device_platform.h"

#include <algorithm>
#include <cstring>

#include "link/device_link.h"

namespace corvane::win32_test {
namespace {

// The one set this platform hands out; any value but InvalidDeviceSet.
constexpr link::DeviceSet PipeDeviceSet = 1;

}  // namespace

link::DeviceSet PipeDevicePlatform::SetupDiGetClassDevs(const link::Guid& interfaceClass) {
  if (interfaceClass != link::InterfaceClass) {
    return link::InvalidDeviceSet;
  }
  ++openSets_;
  return PipeDeviceSet;
}

bool PipeDevicePlatform::SetupDiEnumDeviceInterfaces(link::DeviceSet set,
                                                     const link::Guid& interfaceClass,
                                                     std::uint32_t index, link::InterfaceRecord&) {
  return set == PipeDeviceSet && interfaceClass == link::InterfaceClass && index == 0 &&
         remote_.Present();
}

void PipeDevicePlatform::SetupDiGetDeviceInterfaceDetail(link::DeviceSet,
                                                         const link::InterfaceRecord&,
                                                         std::span<std::byte> detail,
                                                         std::uint32_t* requiredSize) {
  const std::string& path = remote_.Path();
  if (detail.empty()) {
    *requiredSize = static_cast<std::uint32_t>(link::DetailPathOffset + path.size() + 1);
    return;
  }
  if (detail.size() <= link::DetailPathOffset) {
    return;
  }
  const std::size_t room = detail.size() - link::DetailPathOffset;
  std::memcpy(detail.data() + link::DetailPathOffset, path.c_str(),
              std::min(room, path.size() + 1));
}

void PipeDevicePlatform::SetupDiDestroyDeviceInfoList(link::DeviceSet set) {
  if (set == PipeDeviceSet) {
    --openSets_;
  }
}

void PipeDevicePlatform::CloseHandle(link::Handle file) {
  if (file == tracedFile_) {
    tracedFile_ = link::InvalidHandle;
  }
  system_.CloseHandle(file);
}

void PipeDevicePlatform::WriteFile(link::Handle file, const std::byte* buffer, std::uint32_t count,
                                   link::Overlap& overlap) {
  if (onWriteCall && file != tracedFile_) {
    onWriteCall({reinterpret_cast<const std::uint8_t*>(buffer), count});
    tracedFile_ = file;
  }
  system_.WriteFile(file, buffer, count, overlap);
}

}  // namespace corvane::win32_test
