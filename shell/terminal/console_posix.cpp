#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <thread>

#include "shell/terminal/console.h"

namespace corvane::shell {
namespace {

std::atomic<int> interruptStatus{0};

}  // namespace

bool OutputIsTerminal() {
  return isatty(STDOUT_FILENO) == 1;
}

int RunStoppable(const std::function<void(std::stop_token)>& run) {
  // The signals are taken by this thread alone, as they come, so no handler
  // is needed; the run's thread inherits the mask and never sees them.
  sigset_t stopping;
  sigemptyset(&stopping);
  sigaddset(&stopping, SIGINT);
  sigaddset(&stopping, SIGTERM);
  sigset_t before;
  pthread_sigmask(SIG_BLOCK, &stopping, &before);

  std::stop_source source;
  std::atomic<bool> done{false};
  std::thread runner([&] {
    run(source.get_token());
    done = true;
  });
  // Wakes now and then to see the run end; a signal wakes it at once.
  const timespec slice{0, 50'000'000};
  while (!done) {
    const int signal = sigtimedwait(&stopping, nullptr, &slice);
    if (signal == SIGINT || signal == SIGTERM) {
      int none = 0;
      interruptStatus.compare_exchange_strong(none, 128 + signal);
      source.request_stop();
    }
  }
  runner.join();
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
  return interruptStatus.load();
}

int InterruptStatus() {
  return interruptStatus.load();
}

}  // namespace corvane::shell
