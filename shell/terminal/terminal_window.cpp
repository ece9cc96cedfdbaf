#include "shell/terminal/terminal_window.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace corvane::shell {
namespace {

constexpr int BarWidth = 30;

std::string TimeLeft(double seconds) {
  const auto whole = static_cast<long long>(std::ceil(seconds));
  const long long rest = whole % 60;
  std::string text = std::to_string(whole / 60);
  text += rest < 10 ? ":0" : ":";
  text += std::to_string(rest);
  text += " left";
  return text;
}

}  // namespace

bool TerminalWindow::Showing() const {
  return !closed_ && !statusShown_ && !stop_.stop_requested();
}

void TerminalWindow::SetStatusText(std::string_view text) {
  EndLiveLine();
  if (!Showing()) {
    return;
  }
  out_ << text << '\n' << std::flush;
  statusShown_ = true;
}

void TerminalWindow::CloseWindow() {
  EndLiveLine();
  closed_ = true;
}

void TerminalWindow::SetProgressValue(float value) {
  if (!Showing()) {
    EndLiveLine();
    return;
  }
  const double total = std::max(0.0, static_cast<double>(max_) - min_);
  const double done = std::clamp(static_cast<double>(value) - min_, 0.0, total);
  const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
  if (style_ == Style::Lines) {
    out_ << "progress " << std::llround(done) << '/' << std::llround(total) << ' ' << percent
         << "%\n"
         << std::flush;
    return;
  }
  DrawLive(done, total, percent);
}

void TerminalWindow::DrawLive(double done, double total, int percent) {
  const Clock::time_point now = Clock::now();
  if (!first_) {
    first_.emplace(done, now);
  }
  std::string line = "[";
  const auto filled = total > 0 ? static_cast<int>(done * BarWidth / total) : 0;
  line.append(static_cast<std::size_t>(filled), '#');
  line.append(static_cast<std::size_t>(BarWidth - filled), '-');
  line += "] ";
  line += std::to_string(std::llround(done));
  line += '/';
  line += std::to_string(std::llround(total));
  line += " bytes ";
  line += std::to_string(percent);
  line += '%';
  const double seconds = std::chrono::duration<double>(now - first_->second).count();
  const double sent = done - first_->first;
  if (seconds > 0 && sent > 0) {
    line += "  ";
    line += TimeLeft((total - done) * seconds / sent);
  }
  // Blanks over what is left of a longer line drawn before.
  const std::size_t width = line.size();
  line.append(liveWidth_ > width ? liveWidth_ - width : 0, ' ');
  out_ << '\r' << line << std::flush;
  liveWidth_ = width;
}

void TerminalWindow::EndLiveLine() {
  if (liveWidth_ > 0) {
    out_ << '\n' << std::flush;
    liveWidth_ = 0;
  }
}

}  // namespace corvane::shell
