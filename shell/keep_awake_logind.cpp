// KeepAwake on Linux: a logind inhibitor lock, taken over the system bus.
#include "shell/keep_awake.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <memory>
#include <string>
#include <system_error>

namespace corvane::shell {
namespace {

struct BusCloser {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
struct ErrorFree {
  void operator()(sd_bus_error* error) const { sd_bus_error_free(error); }
};

std::string Reason(int negative_errno) {
  return std::error_code(-negative_errno, std::generic_category()).message();
}

// The lock's own descriptor, or -1 with `why_not` saying what went wrong,
// empty when there is no system bus to ask.
int TakeLock(std::string& why_not) {
  sd_bus* raw_bus = nullptr;
  int result = sd_bus_open_system(&raw_bus);
  const std::unique_ptr<sd_bus, BusCloser> bus(raw_bus);
  if (result == -ENOENT || result == -ECONNREFUSED) {
    return -1;  // no system bus: a container, a minimal system
  }
  if (result < 0) {
    why_not = "the system bus: " + Reason(result);
    return -1;
  }

  // Value-initialised rather than SD_BUS_ERROR_NULL, a C compound literal.
  sd_bus_error error{};
  const std::unique_ptr<sd_bus_error, ErrorFree> free_error(&error);
  sd_bus_message* raw_reply = nullptr;
  result = sd_bus_call_method(
      bus.get(), "org.freedesktop.login1", "/org/freedesktop/login1",
      "org.freedesktop.login1.Manager", "Inhibit", &error, &raw_reply, "ssss", "sleep:shutdown",
      "Corvane Updater",
      "A remote control's firmware is being written; stopping now could leave it unusable",
      "block");
  const std::unique_ptr<sd_bus_message, MessageUnref> reply(raw_reply);
  if (result < 0) {
    why_not = "logind refused: " + (error.message != nullptr ? error.message : Reason(result));
    return -1;
  }

  // The reply owns the descriptor it carries; the lock must outlive it.
  int fd = -1;
  result = sd_bus_message_read(reply.get(), "h", &fd);
  if (result < 0) {
    why_not = "logind's reply: " + Reason(result);
    return -1;
  }
  const int lock = fcntl(fd, F_DUPFD_CLOEXEC, 3);
  if (lock < 0) {
    why_not = "logind's lock: " + Reason(-errno);
  }
  return lock;
}

}  // namespace

KeepAwake::KeepAwake(std::string_view program) {
  std::string why_not;
  lock_ = TakeLock(why_not);
  if (lock_ < 0 && !why_not.empty()) {
    std::fprintf(stderr, "%.*s: cannot keep the computer awake during the update (%s)\n",
                 static_cast<int>(program.size()), program.data(), why_not.c_str());
  }
}

KeepAwake::~KeepAwake() {
  if (lock_ >= 0) {
    close(lock_);  // logind drops the inhibitor when its last copy closes
  }
}

}  // namespace corvane::shell
