// Holds off sleep and shutdown while a firmware update runs: a remote cut
// off halfway through being written may not start again.
#pragma once

#include <string_view>

namespace corvane::shell {

// Keeps the computer from sleeping and from shutting down for as long as it
// lives. On Linux it holds a logind inhibitor lock, on Windows it marks the
// thread as needing the system; create and destroy it on the same thread.
class KeepAwake {
 public:
  // `program` names the program in the one line written on standard error
  // when the system refuses (on Linux: logind, with its reason); the run
  // goes on regardless. Without a system bus there is nothing to ask, and
  // nothing is said.
  explicit KeepAwake(std::string_view program);
  ~KeepAwake();
  KeepAwake(const KeepAwake&) = delete;
  KeepAwake& operator=(const KeepAwake&) = delete;

 private:
#ifdef _WIN32
  bool held_ = false;
#else
  int lock_ = -1;  // logind's inhibitor: open while the lock is held
#endif
};

}  // namespace corvane::shell
