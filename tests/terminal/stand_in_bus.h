// The system's backend stood in for by two simulated remotes, SIM-1 and
// SIM-2, for a corvane-flash built on it: each backend made brings remotes
// of its own, as each libusb backend opens the bus afresh, and serves the
// one its link opens.
#pragma once

#include <array>

#include "link/device_link.h"
#include "sim/demo_remote.h"
#include "sim/scenarios.h"

namespace corvane::link {

class StandInBus final : public Backend {
 public:
  void VisitInterfaces(const Guid& interfaceClass,
                       const std::function<bool(std::string_view path)>& visit) override {
    bool stopped = false;
    for (sim::DemoRemote& remote : remotes_) {
      remote.backend().VisitInterfaces(
          interfaceClass, [&](std::string_view path) { return stopped = stopped || visit(path); });
    }
  }
  Opened OpenPipe(const std::string& name, Pipe pipe, PipeUse use) override {
    opened_ = &remotes_[RemoteId(name) == "SIM-2" ? 1 : 0].backend();
    return opened_->OpenPipe(name, pipe, use);
  }
  void ClosePipe(Handle file) override { opened_->ClosePipe(file); }
  void StartRead(Handle file, std::span<std::byte> to) override { opened_->StartRead(file, to); }
  void StartWrite(Handle file, std::span<const std::byte> from) override {
    opened_->StartWrite(file, from);
  }
  WaitResult Wait(Handle file, std::uint32_t ms) override { return opened_->Wait(file, ms); }
  Collected CancelAndCollect(Handle file) override { return opened_->CancelAndCollect(file); }
  std::uint32_t TickCount() override { return opened_->TickCount(); }
  void Sleep(std::uint32_t ms) override { opened_->Sleep(ms); }

 private:
  std::array<sim::DemoRemote, 2> remotes_{sim::DemoRemote(*sim::FindScenario("direct"), 1),
                                          sim::DemoRemote(*sim::FindScenario("direct"), 2)};
  Backend* opened_ = &remotes_[0].backend();
};

}  // namespace corvane::link
