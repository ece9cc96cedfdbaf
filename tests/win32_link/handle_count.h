// The number of handles the process holds, for checks that a run leaks
// none. Wine's GetProcessHandleCount always gives 0, so every handle value
// up to a bound is asked about instead; a test process holds far fewer.
#pragma once

#include <windows.h>

#include <cstdint>

namespace corvane::win32_test {

inline int OpenHandleCount() {
  constexpr std::uintptr_t HighestHandleLookedAt = 4 * 1024;
  int count = 0;
  for (std::uintptr_t value = 4; value <= HighestHandleLookedAt; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
      ++count;
    }
  }
  return count;
}

}  // namespace corvane::win32_test
