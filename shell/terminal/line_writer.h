// Lines to one of the program's streams, one writer at a time: the runs of
// several remotes share one terminal, and a line drawn in place is ended
// before another is written.
#pragma once

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace corvane::shell {

class LineWriter {
 public:
  // C's streams rather than iostreams keep the Windows program small.
  explicit LineWriter(std::FILE* out) : out_(out) {}

  void Line(std::string_view text) {
    const std::lock_guard lock(mutex_);
    EndRedrawn();
    Put(text);
    Put("\n");
  }

  // Draws `text` over the line drawn in place before, if any.
  void Redraw(std::string_view text) {
    const std::lock_guard lock(mutex_);
    std::string line(text);
    // Blanks over what is left of a longer line drawn before.
    line.append(redrawn_ > text.size() ? redrawn_ - text.size() : 0, ' ');
    Put("\r" + line);
    redrawn_ = text.size();
  }

 private:
  void Put(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
  }
  void EndRedrawn() {
    if (redrawn_ > 0) {
      Put("\n");
      redrawn_ = 0;
    }
  }

  std::FILE* out_;
  std::mutex mutex_;
  std::size_t redrawn_ = 0;  // the width of the line drawn in place, 0 when none
};

}  // namespace corvane::shell
