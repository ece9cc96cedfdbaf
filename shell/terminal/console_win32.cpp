#include <windows.h>

#include "shell/terminal/console.h"

namespace corvane::shell {
namespace {

std::atomic<bool> interrupted{false};

// Runs on a thread of its own that Windows starts for the event.
BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    return FALSE;
  }
  interrupted.store(true);
  return TRUE;
}

}  // namespace

bool OutputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

const std::atomic<bool>& CatchInterrupt() {
  SetConsoleCtrlHandler(OnControl, TRUE);
  return interrupted;
}

}  // namespace corvane::shell
