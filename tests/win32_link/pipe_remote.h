// A simulated remote served over real named pipes, the way the remote's
// driver offers it: frames arrive on <path>\PIPE00, replies leave on
// <path>\PIPE01. Message pipes keep each frame and each reply one
// transfer; a zero-length message gives a read that completes with no byte.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "sim/remote.h"

namespace corvane::win32_test {

class PipeServer;

class PipeRemote {
 public:
  // Serves `remote`, plugged in, from a thread of its own until Stop.
  explicit PipeRemote(sim::SimRemote& remote);
  ~PipeRemote();
  PipeRemote(const PipeRemote&) = delete;
  PipeRemote& operator=(const PipeRemote&) = delete;

  // The interface path, as the system reports one: lower case, and carrying
  // the remote's vendor, product and class tokens.
  const std::string& Path() const { return path_; }
  // Whether the pipe files exist now.
  bool Present() const { return present_; }
  // Pulls the remote out: every pipe file closes, pending transfers end.
  void Unplug();
  // Ends serving and closes every pipe; the remote may be read after it.
  void Stop();

 private:
  static unsigned long __stdcall Serve(void* self);

  std::string path_;
  std::atomic<bool> present_{false};
  std::atomic<bool> stopping_{false};
  std::unique_ptr<PipeServer> server_;
  // A thread of the system's own: the thread library would keep handles of
  // its own after a thread ends, and the tests count handles.
  void* thread_ = nullptr;
};

}  // namespace corvane::win32_test
