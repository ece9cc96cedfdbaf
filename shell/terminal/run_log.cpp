#include "shell/terminal/run_log.h"

#include "firmware/image_layout.h"
#include "link/text.h"
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

}  // namespace

RunLog::RunLog(const std::string& file, std::string_view program)
    : out_(std::fopen(file.c_str(), "ab")) {
  if (out_) {
    std::fprintf(out_.get(), "# %.*s on %s\n", static_cast<int>(program.size()), program.data(),
                 System().c_str());
    std::fflush(out_.get());
  }
}

void RunLog::Line(std::string_view id, std::string_view text) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - start_)
                      .count();
  const std::lock_guard lock(mutex_);
  std::fprintf(out_.get(), "%7lld %.*s %.*s\n", static_cast<long long>(ms),
               static_cast<int>(id.size()), id.data(), static_cast<int>(text.size()), text.data());
  std::fflush(out_.get());
}

void RunLog::Remote(std::string_view id, std::string_view devicePath) {
  Line(id, "remote " + std::string(devicePath));
}

void RunLog::Images(std::string_view id, protocol::UpdatePath path) {
  Line(id, ImageDigestLine("main", firmware::MainImageSha256));
  if (path == protocol::UpdatePath::Loader) {
    Line(id, ImageDigestLine("loader", firmware::LoaderImageSha256));
  }
}

void RunLog::Transfer(std::string_view id, link::DeviceLink::Direction direction,
                      std::span<const std::uint8_t> bytes, const link::PipeResult& result) {
  std::string text = direction == link::DeviceLink::Direction::Write ? "write " : "read ";
  // A write's bytes are what was asked to go, so a short one shows its count.
  if (result.status == link::PipeStatus::Completed && result.count > 0) {
    text += link::HexText(bytes);
    if (direction == link::DeviceLink::Direction::Write && result.count != bytes.size()) {
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
