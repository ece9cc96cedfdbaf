// The real Win32 platform with one device interface of its own: discovery
// reports the pipe remote's path while its pipe files exist; files, events,
// waits, cancelling and the tick count are the system's.
#pragma once

#include <functional>
#include <span>

#include "link/win32/win32_platform.h"
#include "pipe_remote.h"

namespace corvane::win32_test {

class PipeDevicePlatform final : public link::Platform {
 public:
  explicit PipeDevicePlatform(const PipeRemote& remote) : remote_(remote) {}

  // Called with the bytes of every write call: the first WriteFile on each
  // transfer file, however often the call tries.
  std::function<void(std::span<const std::uint8_t>)> onWriteCall;
  int OpenDeviceSets() const { return openSets_; }

  link::DeviceSet SetupDiGetClassDevs(const link::Guid& interfaceClass) override;
  bool SetupDiEnumDeviceInterfaces(link::DeviceSet set, const link::Guid& interfaceClass,
                                   std::uint32_t index, link::InterfaceRecord& record) override;
  void SetupDiGetDeviceInterfaceDetail(link::DeviceSet set, const link::InterfaceRecord& record,
                                       std::span<std::byte> detail,
                                       std::uint32_t* requiredSize) override;
  std::uint32_t DetailRecordSize() const override { return system_.DetailRecordSize(); }
  void SetupDiDestroyDeviceInfoList(link::DeviceSet set) override;

  link::Handle CreateFile(const std::string& name, const link::FileOpen& how) override {
    return system_.CreateFile(name, how);
  }
  void CloseHandle(link::Handle file) override;
  link::Event CreateEvent() override { return system_.CreateEvent(); }
  void ResetEvent(link::Event event) override { system_.ResetEvent(event); }
  void CloseEvent(link::Event event) override { system_.CloseEvent(event); }
  void ReadFile(link::Handle file, std::byte* buffer, std::uint32_t count,
                link::Overlap& overlap) override {
    system_.ReadFile(file, buffer, count, overlap);
  }
  void WriteFile(link::Handle file, const std::byte* buffer, std::uint32_t count,
                 link::Overlap& overlap) override;
  std::uint32_t WaitForSingleObject(link::Event event, std::uint32_t timeoutMs) override {
    return system_.WaitForSingleObject(event, timeoutMs);
  }
  void CancelIo(link::Handle file) override { system_.CancelIo(file); }
  bool GetOverlappedResult(link::Handle file, link::Overlap& overlap,
                           std::uint32_t& transferred) override {
    return system_.GetOverlappedResult(file, overlap, transferred);
  }
  std::uint32_t GetTickCount() override { return system_.GetTickCount(); }

 private:
  link::Win32Platform system_;
  const PipeRemote& remote_;
  int openSets_ = 0;
  link::Handle tracedFile_ = link::InvalidHandle;
};

}  // namespace corvane::win32_test
