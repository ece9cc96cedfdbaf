// The device link's backend, simulated: one remote's interface with its two
// pipe files, transfers on a clock, and faults to inject at every call. One
// link uses it at a time; a list may be asked for meanwhile on another
// thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/backend.h"
#include "sim/clock.h"
#include "sim/remote_on_bus.h"

namespace corvane::sim {

// The backend's calls that can be made to fail.
enum class Call { List, Open, StartRead, StartWrite, Wait };

struct BackendFaults {
  // Gives true for a call that is to fail: a list comes back empty, an open
  // refused, a transfer fails at once, a wait fails.
  std::function<bool(Call call, std::string_view pipeName)> fails;
  // Why a refused open was refused.
  link::Cause refusal{link::CauseKind::SystemError, 5, "refused"};
  // Waits report a time-out although the transfer completed at the deadline:
  // the race between the time-out and the cancel.
  bool timeOutOnCompletion = false;
};

struct Timing {
  std::uint32_t writeLatencyMs = 0;
  std::uint32_t emptyReadLatencyMs = 0;
};

class SimBackend final : public link::Backend {
 public:
  // The remote on `bus`, listed under `path`.
  SimBackend(Clock& clock, RemoteOnBus& bus, std::string path);

  // Pulls the remote out or puts it back; transfers pending on it end, and
  // files opened before stay dead.
  void SetPresent(bool present);

  BackendFaults faults;
  Timing timing;
  // Listed around the remote's own path, as other devices of its class
  // appear beside it: decoys, a second remote.
  std::vector<std::string> listedBefore;
  std::vector<std::string> listedAfter;
  // What a listing says of the remote.
  std::string description = "simulated remote";
  // Called with the bytes of every write call: the first StartWrite on each
  // transfer file, however often the call tries.
  std::function<void(std::span<const std::uint8_t>)> onWriteCall;

  int OpenFiles() const { return static_cast<int>(files_.size()); }
  int Opens() const { return opens_; }
  int ReadsStarted() const { return readsStarted_; }
  int Waits() const { return waits_; }
  // How long the link slept in all, as against the time it spent waiting.
  Millis Slept() const { return slept_; }
  // How many interfaces a walk was shown in all.
  int InterfacesShown() const { return interfacesShown_; }
  // Every misuse of the contract the link made, one line each.
  const std::vector<std::string>& misuses() const { return misuses_; }

  void VisitInterfaces(const link::Guid& interfaceClass,
                       const std::function<bool(std::string_view path)>& visit) override;
  std::string DescribeInterface(std::string_view) override { return description; }
  // The remote's own, on its path; the others listed have none.
  std::string SerialNumber(std::string_view path) override;
  link::Opened OpenPipe(const std::string& name, link::Pipe pipe, link::PipeUse use) override;
  void ClosePipe(link::Handle file) override;
  void StartRead(link::Handle file, std::span<std::byte> into) override;
  void StartWrite(link::Handle file, std::span<const std::byte> from) override;
  link::WaitResult Wait(link::Handle file, std::uint32_t timeoutMs) override;
  link::Collected CancelAndCollect(link::Handle file) override;
  std::uint32_t TickCount() override { return clock_.ReadTicks(); }
  void Sleep(std::uint32_t ms) override {
    slept_ += ms;
    clock_.WaitUntil(clock_.Now() + ms);
  }

 private:
  struct Transfer {
    bool isRead = false;
    std::span<std::byte> into;
    std::span<const std::uint8_t> frame;
    Millis completesAt = Never;
    std::uint32_t transferred = 0;
    bool waitFails = false;
    bool ended = false;
    bool completed = false;
  };
  struct File {
    std::string name;
    link::Pipe pipe = link::Pipe::Write;
    link::PipeUse use = link::PipeUse::Held;
    std::uint32_t generation = 0;
    bool writeTraced = false;
    std::optional<Transfer> transfer;
  };

  bool Fails(Call call, std::string_view name) const;
  bool Live(const File& file);
  File* Find(link::Handle file, std::string_view call);
  Transfer* Begin(link::Handle file, link::Pipe pipe, std::string_view call);
  void Complete(File& file, Transfer& transfer);
  void Misuse(std::string what);

  Clock& clock_;
  RemoteOnBus& bus_;
  std::string path_;
  std::map<link::Handle, File> files_;
  link::Handle nextHandle_ = 0x100;
  int opens_ = 0;
  int readsStarted_ = 0;
  int waits_ = 0;
  Millis slept_ = 0;
  std::atomic<int> interfacesShown_{0};  // a list may come from another thread
  std::vector<std::string> misuses_;
};

}  // namespace corvane::sim
