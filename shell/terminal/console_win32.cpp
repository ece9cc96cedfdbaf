#include <windows.h>

#include <atomic>

#include "shell/terminal/console.h"

namespace corvane::shell {
namespace {

// Lives as long as the program: the handler may still run on its thread
// while the run ends.
std::stop_source stopping;
std::atomic<int> interruptStatus{0};

// Runs on a thread of its own that Windows starts for the event.
BOOL WINAPI OnControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) {
    return FALSE;
  }
  int none = 0;
  interruptStatus.compare_exchange_strong(none, 130);
  stopping.request_stop();
  return TRUE;
}

}  // namespace

bool OutputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

int RunStoppable(const std::function<void(std::stop_token)>& run) {
  SetConsoleCtrlHandler(OnControl, TRUE);
  run(stopping.get_token());
  SetConsoleCtrlHandler(OnControl, FALSE);
  return interruptStatus.load();
}

int InterruptStatus() {
  return interruptStatus.load();
}

}  // namespace corvane::shell
