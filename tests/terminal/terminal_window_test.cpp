// The terminal display of a run along the loader path, on a clock of the
// test's own: a countdown during the restart pause, and a time left that
// counts the blocks still to send and never the pause.
#include "shell/terminal/terminal_window.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <regex>

namespace corvane::shell {
namespace {

using namespace std::chrono_literals;
using Ticks = std::chrono::steady_clock::time_point;

// The seconds that the last "M:SS left" in `text` shows.
std::optional<int> LastTimeLeft(const std::string& text) {
  static const std::regex left("(\\d+):(\\d\\d) left");
  std::optional<int> seconds;
  for (auto it = std::sregex_iterator(text.begin(), text.end(), left); it != std::sregex_iterator();
       ++it) {
    seconds = std::stoi((*it)[1]) * 60 + std::stoi((*it)[2]);
  }
  return seconds;
}

TEST(TerminalWindow, CountsDownThePauseAndLeavesItOutOfTheTimeLeft) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* stream = open_memstream(&buffer, &size);
  const auto shown = [&] { return std::string(buffer, size); };
  LineWriter out(stream);
  Ticks now{};
  TerminalWindow window(out, TerminalWindow::Style::Live, "", {}, [&] { return now; });
  // Blocks take about a second each, unevenly; the loader's five, then the
  // main image's twenty.
  const auto blockTime = [](int block) { return block % 2 == 0 ? 900ms : 1100ms; };
  const int blocks = 25;
  window.SetProgressMin(0);
  window.SetProgressMax(17408 + 78336);
  window.PhaseStarted(protocol::Phase::Loader);
  for (int block = 1; block <= blocks; ++block) {
    if (block == 6) {
      window.PhaseStarted(protocol::Phase::Pause);
      for (std::uint32_t left = 8001; left > 0; left = left > 1000 ? left - 1000 : 0) {
        window.Pausing(left);
        const std::string text = shown();
        EXPECT_NE(text.rfind("restart pause: 0:0" + std::to_string(left / 1000) + " left"),
                  std::string::npos)
            << left;
        now += 1000ms;
      }
      now += 400ms;  // and the reconnection
      window.PhaseStarted(protocol::Phase::Main);
    }
    now += blockTime(block);
    window.SetProgressValue(block <= 5
                                ? std::min(17408.f, static_cast<float>(block) * 4096)
                                : 17408 + std::min(78336.f, static_cast<float>(block - 5) * 4096));
    std::chrono::duration<double> truth{0};
    for (int later = block + 1; later <= blocks; ++later) {
      truth += blockTime(later);
    }
    const auto left = LastTimeLeft(shown());
    if (block == 1) {
      EXPECT_FALSE(left) << "no block's time is known yet";
      continue;
    }
    ASSERT_TRUE(left) << block;
    // Shown in whole seconds, rounded up.
    EXPECT_LE(std::abs(*left - truth.count()), 0.2 * truth.count() + 1) << "after block " << block;
  }
  std::fclose(stream);
  std::free(buffer);
}

}  // namespace
}  // namespace corvane::shell
