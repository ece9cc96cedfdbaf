// The platform seam on Windows: the device-setup, file, event, wait and
// tick-count calls of the system itself.
#pragma once

#include "link/platform.h"

namespace corvane::link {

class Win32Platform final : public Platform {
 public:
  DeviceSet SetupDiGetClassDevs(const Guid& interfaceClass) override;
  bool SetupDiEnumDeviceInterfaces(DeviceSet set, const Guid& interfaceClass, std::uint32_t index,
                                   InterfaceRecord& record) override;
  void SetupDiGetDeviceInterfaceDetail(DeviceSet set, const InterfaceRecord& record,
                                       std::span<std::byte> detail,
                                       std::uint32_t* requiredSize) override;
  std::uint32_t DetailRecordSize() const override;
  void SetupDiDestroyDeviceInfoList(DeviceSet set) override;

  Handle CreateFile(const std::string& name, const FileOpen& how) override;
  void CloseHandle(Handle file) override;

  Event CreateEvent() override;
  void ResetEvent(Event event) override;
  void CloseEvent(Event event) override;

  void ReadFile(Handle file, std::byte* buffer, std::uint32_t count, Overlap& overlap) override;
  void WriteFile(Handle file, const std::byte* buffer, std::uint32_t count,
                 Overlap& overlap) override;
  std::uint32_t WaitForSingleObject(Event event, std::uint32_t timeoutMs) override;
  void CancelIo(Handle file) override;
  bool GetOverlappedResult(Handle file, Overlap& overlap, std::uint32_t& transferred) override;

  std::uint32_t GetTickCount() override;
};

}  // namespace corvane::link
