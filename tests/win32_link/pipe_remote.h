// A simulated remote served over real named pipes, the way the remote's
// driver offers it: frames arrive on <prefix>\PIPE00, replies leave on
// <prefix>\PIPE01. Message pipes keep each frame and each reply one
// transfer; a zero-length message gives a read that completes with no byte.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "sim/remote.h"

namespace corvane::win32_test {

class PipeServer;

class PipeRemote {
 public:
  // Serves `remote` from a thread of its own until Stop. When `present` is
  // false the pipe files never exist: nothing is plugged in.
  PipeRemote(sim::SimRemote& remote, bool present);
  ~PipeRemote();
  PipeRemote(const PipeRemote&) = delete;
  PipeRemote& operator=(const PipeRemote&) = delete;

  // The interface path, as the system reports one: lower case, and carrying
  // the remote's vendor, product and class tokens.
  const std::string& Path() const { return path_; }
  // Whether the pipe files exist now.
  bool Present() const { return present_; }

  // Ends serving and closes every pipe; the remote may be read after it.
  void Stop();
  // The frames the remote took, in order.
  const std::vector<std::vector<std::uint8_t>>& Frames() const { return frames_; }
  // What the remote asked for that real pipes cannot do, one line each.
  const std::vector<std::string>& Unmapped() const { return unmapped_; }

 private:
  static unsigned long __stdcall Serve(void* self);

  std::string path_;
  std::atomic<bool> present_{false};
  std::atomic<bool> stopping_{false};
  std::vector<std::vector<std::uint8_t>> frames_;
  std::vector<std::string> unmapped_;
  std::unique_ptr<PipeServer> server_;
  // A thread of the system's own: the thread library would keep handles of
  // its own after a thread ends, and the tests count handles.
  void* thread_ = nullptr;
};

}  // namespace corvane::win32_test
