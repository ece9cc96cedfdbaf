#include <signal.h>
#include <unistd.h>

#include "shell/terminal/console.h"

namespace corvane::shell {
namespace {

// Set from the signal handler: a lock-free atomic is all it may touch.
std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) {
  interrupted.store(true);
}

}  // namespace

bool OutputIsTerminal() {
  return isatty(STDOUT_FILENO) == 1;
}

const std::atomic<bool>& CatchInterrupt() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  return interrupted;
}

}  // namespace corvane::shell
