// What the fuzz targets share: their input, read front to back (past its
// end every byte reads 0, so that any input is a whole one), and the check
// that stops a target, keeping its input, where a rule is broken.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <vector>

namespace corvane::fuzz {

class InputReader {
 public:
  explicit InputReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::uint8_t Byte() { return bytes_.empty() ? 0 : Bytes(1)[0]; }
  std::vector<std::uint8_t> Bytes(std::size_t count) {  // fewer where the input ends
    const auto taken = bytes_.first(std::min(count, bytes_.size()));
    bytes_ = bytes_.subspan(taken.size());
    return {taken.begin(), taken.end()};
  }

 private:
  std::span<const std::uint8_t> bytes_;
};

inline void Require(bool holds, const char* rule) {
  if (!holds) {
    std::fprintf(stderr, "broken: %s\n", rule);
    std::abort();
  }
}

}  // namespace corvane::fuzz
