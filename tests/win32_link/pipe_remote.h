// A simulated remote served over real named pipes, the way the remote's
// driver offers it: frames arrive on <path>\PIPE00, replies leave on
// <path>\PIPE01. Message pipes keep each frame and each reply one
// transfer; a zero-length message gives a read that completes with no byte.
// As a backend it is the Win32 backend with that one device interface.
#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/win32/win32_backend.h"
#include "sim/clock.h"
#include "sim/remote_on_bus.h"

namespace corvane::win32_test {

class PipeRemote final : public link::Backend {
 public:
  // Serves `remote`, plugged in, from a thread of its own until Stop.
  explicit PipeRemote(sim::SimRemote& remote);
  ~PipeRemote() override;
  PipeRemote(const PipeRemote&) = delete;
  PipeRemote& operator=(const PipeRemote&) = delete;

  // Pulls the remote out: every pipe file closes, pending transfers end.
  void Unplug();
  // Ends serving and closes every pipe; the remote may be read after it.
  void Stop();

  // The remote's path while its pipe files exist; the rest is the system's.
  void VisitInterfaces(const link::Guid& interfaceClass,
                       const std::function<bool(std::string_view path)>& visit) override;
  link::Opened OpenPipe(const std::string& name, link::Pipe pipe, link::PipeUse use) override {
    return system_.OpenPipe(name, pipe, use);
  }
  void ClosePipe(link::Handle file) override { system_.ClosePipe(file); }
  void StartRead(link::Handle file, std::span<std::byte> into) override {
    system_.StartRead(file, into);
  }
  void StartWrite(link::Handle file, std::span<const std::byte> from) override {
    system_.StartWrite(file, from);
  }
  link::WaitResult Wait(link::Handle file, std::uint32_t timeoutMs) override {
    return system_.Wait(file, timeoutMs);
  }
  link::Collected CancelAndCollect(link::Handle file) override {
    return system_.CancelAndCollect(file);
  }
  std::uint32_t TickCount() override { return system_.TickCount(); }
  void Sleep(std::uint32_t ms) override { system_.Sleep(ms); }

 private:
  struct Instance;
  using Instances = std::vector<std::unique_ptr<Instance>>;

  void Step();
  void Plug();
  void Listen(Instances& instances, bool replies);
  void ClosePipes();
  void TakeFrames();
  void SendReplies();
  void Offer(std::vector<std::uint8_t> message, bool isReply);

  sim::RemoteOnBus bus_;
  sim::RealClock clock_;
  std::string path_;
  std::atomic<bool> present_{false};
  std::atomic<bool> unplugging_{false};
  std::atomic<bool> stopping_{false};
  Instances frames_;
  Instances replies_;
  Instance* newest_ = nullptr;                     // the reply pipe's latest client
  Instance* offered_ = nullptr;                    // where a message waits to be read
  std::optional<std::vector<std::uint8_t>> held_;  // taken off the bus, not yet read
  sim::Millis nextEmptyAt_ = 0;
  // A thread of the system's own: the thread library would keep handles of
  // its own after a thread ends, and the tests count handles.
  void* thread_ = nullptr;
  link::Win32Backend system_;
};

}  // namespace corvane::win32_test
