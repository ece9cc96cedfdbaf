#include "sim/clock.h"

#include <algorithm>
#include <thread>

#ifdef __EMSCRIPTEN__
#include <emscripten.h>
#endif

namespace corvane::sim {

void VirtualClock::WaitUntil(Millis when) {
  now_ = std::max(now_, when);
}

std::uint32_t VirtualClock::ReadTicks() {
  const auto ticks = static_cast<std::uint32_t>(tickStart_ + now_);
  now_ += tickStep_;
  return ticks;
}

Millis RealClock::Now() {
  return static_cast<Millis>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - start_)
                                 .count());
}

void RealClock::WaitUntil(Millis when) {
  if (when == Never) {
    return;
  }
#ifdef __EMSCRIPTEN__
  // A page has one thread: it hands the browser the time rather than block it.
  if (const Millis now = Now(); when > now) {
    emscripten_sleep(static_cast<unsigned>(when - now));
  }
#else
  std::this_thread::sleep_until(start_ + std::chrono::milliseconds(when));
#endif
}

}  // namespace corvane::sim
