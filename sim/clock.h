// Time for the simulated remote: virtual for tests (instant, exact), real
// for the demo (wall clock, real latency).
#pragma once

#include <chrono>
#include <cstdint>

namespace corvane::sim {

// Milliseconds since the clock started.
using Millis = std::uint64_t;
inline constexpr Millis Never = UINT64_MAX;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual Millis Now() = 0;
  // Lets time pass until `when` (at once when it is past).
  virtual void WaitUntil(Millis when) = 0;
  // What the system's tick count reads; a reading may itself take time.
  virtual std::uint32_t ReadTicks() = 0;
};

class VirtualClock : public Clock {
 public:
  // Each reading of the tick count moves time on by `tickStepMs`, so that a
  // loop that waits on the tick count ends.
  explicit VirtualClock(std::uint32_t tickStart = 0, std::uint32_t tickStepMs = 1)
      : tickStart_(tickStart), tickStep_(tickStepMs) {}
  Millis Now() override { return now_; }
  void WaitUntil(Millis when) override;
  std::uint32_t ReadTicks() override;

 private:
  std::uint32_t tickStart_;
  std::uint32_t tickStep_;
  Millis now_ = 0;
};

class RealClock : public Clock {
 public:
  Millis Now() override;
  void WaitUntil(Millis when) override;
  std::uint32_t ReadTicks() override { return static_cast<std::uint32_t>(Now()); }

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace corvane::sim
