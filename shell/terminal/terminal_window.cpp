#include "shell/terminal/terminal_window.h"

#include <cmath>

#include "link/device_link.h"
#include "protocol/frames.h"
#include "shell/terminal/run_words.h"

namespace corvane::shell {
namespace {

constexpr int BarWidth = 30;

std::string MinutesAndSeconds(double seconds) {
  const auto whole = static_cast<long long>(std::ceil(seconds));
  const long long rest = whole % 60;
  return std::to_string(whole / 60) + (rest < 10 ? ":0" : ":") + std::to_string(rest);
}

// Blocks are what takes the remote time, whatever their size.
double Blocks(double bytes) {
  return std::ceil(bytes / protocol::MaxPayload);
}

}  // namespace

TerminalWindow::TerminalWindow(LineWriter& out, Style style, std::string prefix,
                               std::stop_token stop, Clock clock)
    : out_(out),
      style_(style),
      prefix_(std::move(prefix)),
      stop_(std::move(stop)),
      clock_(std::move(clock)) {}

void TerminalWindow::Note(std::string_view text) {
  if (Showing()) {
    out_.Line(prefix_ + std::string(text));
  }
}

void TerminalWindow::Found(std::string_view devicePath) {
  Note("found remote " + link::RemoteId(devicePath));
}

void TerminalWindow::PathChosen(protocol::UpdatePath path) {
  Note(PathWords(path));
}

void TerminalWindow::PhaseStarted(protocol::Phase phase) {
  switch (phase) {
    case protocol::Phase::Loader:
      Note("sending the loader image");
      break;
    case protocol::Phase::Pause:
      last_.reset();  // the pause is no block's time
      Note("waiting for the remote to restart");
      break;
    case protocol::Phase::Main:
      last_.reset();
      Note("sending the main image");
      break;
    default:
      break;
  }
}

void TerminalWindow::Pausing(std::uint32_t remainingMs) {
  if (Showing() && style_ == Style::Live) {
    // The pause ends at the first tick past its 8 s, so whole seconds are
    // counted down: 0:08 at its start, 0:00 at its end.
    out_.Redraw(prefix_ + "restart pause: " +
                MinutesAndSeconds(static_cast<double>(remainingMs / 1000)) + " left");
  }
}

std::optional<double> TerminalWindow::SecondsLeft(double done, double total) {
  const auto now = clock_();
  if (last_ && done > last_->done) {
    blocksTimed_ += Blocks(done - last_->done);
    secondsTimed_ += std::chrono::duration<double>(now - last_->at).count();
  }
  last_ = Seen{done, now};
  if (blocksTimed_ <= 0) {
    return std::nullopt;
  }
  return Blocks(total - done) * secondsTimed_ / blocksTimed_;
}

void TerminalWindow::SetProgressValue(float value) {
  progress_.value = value;
  const double total = progress_.Total();
  const double done = progress_.Done();
  // Value 0 after a run is the bar emptied, no progress.
  if (!Showing() || style_ == Style::NoProgress || done == 0) {
    return;
  }
  const int percent = progress_.Percent();
  const std::string counts =
      std::to_string(std::llround(done)) + '/' + std::to_string(std::llround(total));
  const std::optional<double> left = SecondsLeft(done, total);
  if (style_ == Style::Lines) {
    out_.Line(prefix_ + "progress " + counts + ' ' + std::to_string(percent) + '%');
    return;
  }
  std::string line = prefix_ + '[';
  const auto filled = total > 0 ? static_cast<std::size_t>(done * BarWidth / total) : 0;
  line.append(filled, '#').append(BarWidth - filled, '-');
  line += "] " + counts + " bytes " + std::to_string(percent) + '%';
  if (left) {
    line += "  " + MinutesAndSeconds(*left) + " left";
  }
  out_.Redraw(line);
}

}  // namespace corvane::shell
