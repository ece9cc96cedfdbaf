// Text a windowed Windows program has to say before or instead of its
// window (--help, --version, a wrong argument): on the console or the file
// that started it, where there is one; in a message box where there is not.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace corvane::shell::win32 {

inline void Say(std::string_view program, const std::string& text, bool error) {
  HANDLE out = GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD written = 0;
  if (out == nullptr || out == INVALID_HANDLE_VALUE ||
      !WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr)) {
    const UINT icon = error ? MB_ICONERROR : MB_ICONINFORMATION;
    MessageBoxA(nullptr, text.c_str(), std::string(program).c_str(), MB_OK | icon);
  }
}

}  // namespace corvane::shell::win32
