// A backend in front of the real one that lets Ctrl-C end a run quickly and
// cleanly: the signal handler only sets a flag, and from then on the link
// finds no remote, opens nothing and moves no bytes, so the run ends in some
// outcome through its usual path, which closes the link.
#pragma once

#include <atomic>
#include <set>

#include "link/backend.h"

namespace corvane::shell {

class InterruptibleBackend final : public link::Backend {
 public:
  // The longest a single wait blocks in the inner backend.
  static constexpr std::uint32_t WaitSliceMs = 100;

  InterruptibleBackend(link::Backend& inner, const std::atomic<bool>& interrupted)
      : inner_(inner), interrupted_(interrupted) {}

  std::vector<std::string> InterfacePaths(const link::Guid& interfaceClass) override;
  link::Handle OpenPipe(const std::string& name, link::Pipe pipe, link::PipeUse use) override;
  void ClosePipe(link::Handle file) override;
  void StartRead(link::Handle file, std::span<std::byte> into) override;
  void StartWrite(link::Handle file, std::span<const std::byte> from) override;
  link::WaitResult Wait(link::Handle file, std::uint32_t timeoutMs) override;
  link::Collected CancelAndCollect(link::Handle file) override;
  std::uint32_t TickCount() override;

 private:
  bool Interrupted() const { return interrupted_.load(std::memory_order_relaxed); }

  link::Backend& inner_;
  const std::atomic<bool>& interrupted_;
  // Files whose current transfer this backend refused: the inner backend
  // started nothing on them, so it must not be asked to wait or collect.
  std::set<link::Handle> refused_;
  std::uint32_t ticksAhead_ = 0;
};

}  // namespace corvane::shell
