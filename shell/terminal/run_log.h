// The record --log appends for support: the version and the system, then,
// for each run, the remote's id and path, the images sent by their SHA-256,
// every frame written and reply read as hex with the milliseconds since the
// start, every time-out, and the outcome. Nothing beyond the run's own data.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "link/device_link.h"
#include "protocol/outcome.h"
#include "protocol/run_observer.h"

namespace corvane::shell {

class RunLog {
 public:
  // Appends to `file`, starting with a line naming `program`.
  RunLog(const std::string& file, std::string_view program);
  bool IsOpen() const { return out_ != nullptr; }

  void Remote(std::string_view id, std::string_view devicePath);
  // The images the run sends, by their SHA-256, once its path is chosen.
  void Images(std::string_view id, protocol::UpdatePath path);
  void Transfer(std::string_view id, link::DeviceLink::Direction direction,
                std::span<const std::uint8_t> bytes, const link::PipeResult& result);
  void Ended(std::string_view id, std::string_view statusText, const link::Cause& cause,
             int exitStatus);

 private:
  void Line(std::string_view id, std::string_view text);

  struct Closer {
    void operator()(std::FILE* file) const { std::fclose(file); }
  };
  std::mutex mutex_;
  std::unique_ptr<std::FILE, Closer> out_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace corvane::shell
