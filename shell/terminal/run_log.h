// The record --log appends for a second-line engineer who reads it later,
// perhaps beside other records: for each run a dated header (the program,
// the system, the images by their SHA-256), then a line per event, each
// with the time of day and the milliseconds since the run began: the
// remote, what it said of itself and the path, every frame written and
// reply read (a block's payload by its length and checksum, the image's
// digest naming its bytes), each block in words, and always the outcome.
// Nothing beyond the run's own data.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>

#include "link/device_link.h"
#include "shell/terminal/wall_clock.h"

namespace corvane::shell {

class RunLog {
 public:
  // Appends to `file`; `program` is the program with its version.
  RunLog(const std::string& file, std::string program);
  bool IsOpen() const { return out_ != nullptr; }

  // The header of the run to the remote with `id` ("-" when none is chosen)
  // and `serial` (empty for none).
  void Began(std::string_view id, std::string_view serial);
  void Remote(std::string_view id, std::string_view devicePath);
  // What the run did, in words.
  void Note(std::string_view id, std::string_view text);
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
  std::string program_;
  std::map<std::string, std::chrono::steady_clock::time_point, std::less<>> began_;
};

}  // namespace corvane::shell
