// Discovery on libusb: a snapshot of the present USB devices, each seen as
// one interface with its path.
#include <cstring>

#include "link/device_link.h"
#include "link/libusb/libusb_platform_internal.h"
#include "link/libusb/usb_device_info.h"

namespace corvane::link {
namespace {

std::uint32_t IndexIn(const InterfaceRecord& record) {
  std::uint32_t index = 0;
  std::memcpy(&index, record.storage.data(), sizeof index);
  return index;
}

}  // namespace

DeviceSet LibusbPlatform::SetupDiGetClassDevs(const Guid& interfaceClass) {
  if (context_ == nullptr || interfaceClass != InterfaceClass) {
    return InvalidDeviceSet;
  }
  Snapshot snapshot;
  const ssize_t count = libusb_get_device_list(context_, &snapshot.devices);
  if (count < 0) {
    return InvalidDeviceSet;
  }
  for (ssize_t i = 0; i < count; ++i) {
    const auto info = DescribeDevice(snapshot.devices[i]);
    // A device whose descriptors cannot be read still takes its place, with
    // no path to match.
    snapshot.paths.push_back(info ? info->Path() : std::string());
  }
  sets_.emplace(nextSet_, std::move(snapshot));
  return nextSet_++;
}

bool LibusbPlatform::SetupDiEnumDeviceInterfaces(DeviceSet set, const Guid& interfaceClass,
                                                 std::uint32_t index, InterfaceRecord& record) {
  const auto found = sets_.find(set);
  if (found == sets_.end() || interfaceClass != InterfaceClass ||
      index >= found->second.paths.size()) {
    return false;
  }
  std::memcpy(record.storage.data(), &index, sizeof index);
  return true;
}

void LibusbPlatform::SetupDiGetDeviceInterfaceDetail(DeviceSet set, const InterfaceRecord& record,
                                                     std::span<std::byte> detail,
                                                     std::uint32_t* requiredSize) {
  const auto found = sets_.find(set);
  const std::uint32_t index = IndexIn(record);
  if (found == sets_.end() || index >= found->second.paths.size()) {
    return;
  }
  const std::string& path = found->second.paths[index];
  if (detail.empty()) {
    if (requiredSize != nullptr) {
      *requiredSize = static_cast<std::uint32_t>(DetailPathOffset + path.size() + 1);
    }
    return;
  }
  // Like the system's call: a record whose size field is not the expected
  // one is refused.
  std::uint32_t sizeField = 0;
  if (detail.size() < DetailPathOffset) {
    return;
  }
  std::memcpy(&sizeField, detail.data(), sizeof sizeField);
  if (sizeField != DetailRecordSize()) {
    return;
  }
  const std::size_t room = detail.size() - DetailPathOffset;
  if (room == 0) {
    return;
  }
  const std::size_t copied = std::min(room - 1, path.size());
  std::memcpy(detail.data() + DetailPathOffset, path.data(), copied);
  detail[DetailPathOffset + copied] = std::byte{0};
}

void LibusbPlatform::SetupDiDestroyDeviceInfoList(DeviceSet set) {
  const auto found = sets_.find(set);
  if (found != sets_.end()) {
    libusb_free_device_list(found->second.devices, 1);
    sets_.erase(found);
  }
}

}  // namespace corvane::link
