#include "shell/terminal/run_log.h"

#include "firmware/image_layout.h"
#include "link/text.h"
#include "protocol/frames.h"
#include "shell/program_info.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

namespace corvane::shell {
namespace {

std::string System() {
#ifdef _WIN32
  return "Windows";
#else
  utsname names{};
  if (uname(&names) != 0) {
    return "an unknown system";
  }
  return std::string(names.sysname) + ' ' + names.release + ' ' + names.machine;
#endif
}

std::string Ending(const link::PipeResult& result) {
  switch (result.status) {
    case link::PipeStatus::Completed:
      return result.count == 0 ? "nothing" : "";
    case link::PipeStatus::TimedOut:
      return "timed out";
    case link::PipeStatus::NotAttempted:
      return "not attempted";
    case link::PipeStatus::Failed:
      break;
  }
  return "failed" + (result.cause.text.empty() ? "" : " (" + result.cause.text + ")");
}

// A frame as the log shows it: a block frame by its header, its payload's
// length and its checksum; anything else in full.
std::string FrameText(std::span<const std::uint8_t> bytes) {
  constexpr auto header = static_cast<std::size_t>(protocol::FrameHeaderSize);
  if (bytes.size() <= header + 1) {
    return link::HexText(bytes);
  }
  return link::HexText(bytes.first(header)) + " +" + std::to_string(bytes.size() - header - 1) +
         " payload bytes, checksum " + link::HexText(bytes.last(1));
}

}  // namespace

RunLog::RunLog(const std::string& file, std::string program)
    : out_(std::fopen(file.c_str(), "ab")), program_(std::move(program)) {}

void RunLog::Began(std::string_view id, std::string_view serial) {
  const std::lock_guard lock(mutex_);
  began_.insert_or_assign(std::string(id), std::chrono::steady_clock::now());
  const std::string header = "\n# " + LocalDateTime(std::chrono::system_clock::now()) + "  " +
                             program_ + " on " + System() + ", remote " + std::string(id) +
                             (serial.empty() ? "" : ", serial number " + std::string(serial)) +
                             "\n# " + ImageDigestLine("main", firmware::MainImageSha256) + "\n# " +
                             ImageDigestLine("loader", firmware::LoaderImageSha256) +
                             "\n# local time, ms since the run began, remote, what happened\n";
  std::fputs(header.c_str(), out_.get());
  std::fflush(out_.get());
}

void RunLog::Line(std::string_view id, std::string_view text) {
  const std::lock_guard lock(mutex_);
  const auto began = began_.find(id);
  const auto now = std::chrono::steady_clock::now();
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      now - (began == began_.end() ? now : began->second))
                      .count();
  std::fprintf(out_.get(), "%s %6lld %.*s %.*s\n",
               LocalTimeOfDay(std::chrono::system_clock::now()).c_str(), static_cast<long long>(ms),
               static_cast<int>(id.size()), id.data(), static_cast<int>(text.size()), text.data());
  std::fflush(out_.get());
}

void RunLog::Remote(std::string_view id, std::string_view devicePath) {
  Line(id, "remote " + link::RemoteId(devicePath) + " at " + std::string(devicePath));
}

void RunLog::Note(std::string_view id, std::string_view text) {
  Line(id, text);
}

void RunLog::Transfer(std::string_view id, link::DeviceLink::Direction direction,
                      std::span<const std::uint8_t> bytes, const link::PipeResult& result) {
  const bool write = direction == link::DeviceLink::Direction::Write;
  std::string text = write ? "write " : "read ";
  // A write's bytes are what was asked to go, so a short one shows its count.
  if (result.status == link::PipeStatus::Completed && result.count > 0) {
    text += write ? FrameText(bytes) : link::HexText(bytes);
    if (write && result.count != bytes.size()) {
      text += " (" + std::to_string(result.count) + " of " + std::to_string(bytes.size()) +
              " bytes written)";
    }
  } else {
    text += Ending(result);
  }
  Line(id, text);
}

void RunLog::Ended(std::string_view id, std::string_view statusText, const link::Cause& cause,
                   int exitStatus) {
  std::string text =
      "outcome " + std::string(statusText) + " (exit status " + std::to_string(exitStatus) + ")";
  if (!cause.text.empty()) {
    text += ", cause: " + cause.text;
  }
  Line(id, text);
}

}  // namespace corvane::shell
