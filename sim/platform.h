// The device link's platform, simulated: device interfaces with pipe files
// behind them, events, overlapped transfers, and a clock, with faults to
// inject at every call.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/platform.h"
#include "sim/clock.h"
#include "sim/remote.h"

namespace corvane::sim {

struct PlatformFaults {
  // Refuses to open the pipe files for which it gives true.
  std::function<bool(std::string_view name, const link::FileOpen& how)> refuseOpen;
  bool noEvents = false;
  // Waits report a time-out although the transfer completed at the deadline:
  // the race between the time-out and the cancel.
  bool timeOutOnCompletion = false;
  // Discovery: the detail size the system reports, and whether the detail
  // call fills in the path.
  std::optional<std::uint32_t> reportedDetailSize;
  bool detailWithoutPath = false;
  // No device set can be had.
  bool noDeviceSet = false;
};

struct Timing {
  std::uint32_t writeLatencyMs = 0;
  std::uint32_t emptyReadLatencyMs = 0;
};

struct PlatformCounts {
  int createFile = 0;
  int createEvent = 0;
  int readFile = 0;
  int writeFile = 0;
};

class SimPlatform : public link::Platform {
 public:
  explicit SimPlatform(Clock& clock) : clock_(clock) {}

  // An interface of the remote's class, with a remote behind it, or with
  // nothing behind it (remote == nullptr).
  void AddInterface(std::string path, SimRemote* remote);
  // Pulls the remote out or puts it back; handles opened before stay dead.
  void SetPresent(SimRemote* remote, bool present);

  PlatformFaults faults;
  Timing timing;
  // Called with the bytes of every write call: the first WriteFile on each
  // transfer file, however often the call tries.
  std::function<void(std::span<const std::uint8_t>)> onWriteCall;

  int OpenHandles() const { return static_cast<int>(files_.size()); }
  int OpenEvents() const { return static_cast<int>(events_.size()); }
  int OpenDeviceSets() const { return static_cast<int>(sets_.size()); }
  const PlatformCounts& counts() const { return counts_; }
  // Every misuse of the platform the link made, one line each.
  const std::vector<std::string>& misuses() const { return misuses_; }

  link::DeviceSet SetupDiGetClassDevs(const link::Guid& interfaceClass) override;
  bool SetupDiEnumDeviceInterfaces(link::DeviceSet set, const link::Guid& interfaceClass,
                                   std::uint32_t index, link::InterfaceRecord& record) override;
  void SetupDiGetDeviceInterfaceDetail(link::DeviceSet set, const link::InterfaceRecord& record,
                                       std::span<std::byte> detail,
                                       std::uint32_t* requiredSize) override;
  std::uint32_t DetailRecordSize() const override { return 8; }
  void SetupDiDestroyDeviceInfoList(link::DeviceSet set) override;
  link::Handle CreateFile(const std::string& name, const link::FileOpen& how) override;
  void CloseHandle(link::Handle file) override;
  link::Event CreateEvent() override;
  void ResetEvent(link::Event event) override;
  void CloseEvent(link::Event event) override;
  void ReadFile(link::Handle file, std::byte* buffer, std::uint32_t count,
                link::Overlap& overlap) override;
  void WriteFile(link::Handle file, const std::byte* buffer, std::uint32_t count,
                 link::Overlap& overlap) override;
  std::uint32_t WaitForSingleObject(link::Event event, std::uint32_t timeoutMs) override;
  void CancelIo(link::Handle file) override;
  bool GetOverlappedResult(link::Handle file, link::Overlap& overlap,
                           std::uint32_t& transferred) override;
  std::uint32_t GetTickCount() override { return clock_.ReadTicks(); }

 private:
  struct Message {
    Millis readyAt;
    std::vector<std::uint8_t> bytes;
  };
  struct Device {
    std::string path;
    SimRemote* remote = nullptr;
    bool present = true;
    Millis returnsAt = Never;
    std::uint32_t generation = 0;
    std::deque<Message> replies;
    ReadMode readMode = ReadMode::Replies;
  };
  struct Transfer {
    bool isRead = false;
    std::byte* buffer = nullptr;          // a read's destination
    const std::uint8_t* frame = nullptr;  // a write's bytes
    std::uint32_t count = 0;
    link::Overlap* overlap = nullptr;
    Millis completesAt = Never;
    std::uint32_t transferred = 0;
    bool waitFails = false;
    bool ended = false;
    bool completed = false;
  };
  struct File {
    std::size_t device = 0;
    std::uint32_t generation = 0;
    bool isReadPipe = false;
    bool overlapped = false;
    bool writeTraced = false;
    std::optional<Transfer> transfer;
  };

  Device* Present(std::size_t index);
  File* FindFile(link::Handle file, const char* call);
  Device* LiveDevice(const File& file);
  Transfer& Begin(File& file, link::Overlap& overlap, bool isRead, std::byte* buffer,
                  std::uint32_t count);
  void Complete(File& file, Transfer& transfer);
  void Deliver(Device& device, std::span<const std::uint8_t> frame, Millis writtenAt);
  void Signal(link::Event event, bool signalled);
  void Misuse(std::string what);

  Clock& clock_;
  std::vector<Device> devices_;
  std::map<link::DeviceSet, std::vector<std::string>> sets_;
  std::map<link::Handle, File> files_;
  std::map<link::Event, bool> events_;
  link::DeviceSet nextSet_ = 0x10;
  link::Handle nextHandle_ = 0x100;
  link::Event nextEvent_ = 0x1000;
  PlatformCounts counts_;
  std::vector<std::string> misuses_;
};

}  // namespace corvane::sim
