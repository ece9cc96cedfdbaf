#include "shell/terminal/json_events.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cmath>

#include "firmware/image_layout.h"
#include "link/device_link.h"

namespace corvane::shell {
namespace {

using json = nlohmann::ordered_json;

constexpr std::array<std::string_view, 6> PhaseNames{"probe", "identity", "loader",
                                                     "pause", "main",     "end"};

std::string_view PathName(protocol::UpdatePath path) {
  return path == protocol::UpdatePath::Loader ? "loader" : "direct";
}

constexpr std::array<std::string_view, 6> CauseNames{
    "none",        "permission-denied", "held-by-another-program",
    "device-gone", "stopped",           "system-error"};

}  // namespace

template <typename Object>
void JsonEvents::Emit(Object object) {
  if (!id_.empty()) {
    object["id"] = id_;
  }
  out_.Line(object.dump());
}

void JsonEvents::SetProgressValue(float value) {
  const double done = std::round(static_cast<double>(value) - min_);
  if (done > 0) {
    Emit(json{{"event", "progress"},
              {"done", static_cast<std::int64_t>(done)},
              {"total", static_cast<std::int64_t>(std::round(static_cast<double>(max_) - min_))}});
  }
}

void JsonEvents::Found(std::string_view devicePath) {
  Emit(json{{"event", "found"}, {"remote", link::RemoteId(devicePath)}, {"path", devicePath}});
}

void JsonEvents::PhaseStarted(protocol::Phase phase) {
  json event{{"event", "phase"}, {"phase", PhaseNames[static_cast<std::size_t>(phase)]}};
  if (phase == protocol::Phase::Main || phase == protocol::Phase::Loader) {
    event["path"] = PathName(path_);
  }
  Emit(std::move(event));
}

void JsonEvents::Identified(const protocol::RemoteIdentity& identity) {
  Emit(json{{"event", "identity"},
            {"bytes", identity.bytes},
            {"echoed", identity.echoed},
            {"path", PathName(identity.path)},
            {"header_flag", identity.headerFlag}});
}

void JsonEvents::End(const protocol::RunResult& result, bool identified, int exitStatus,
                     std::int64_t elapsedMs) {
  const protocol::Ending& ending = protocol::EndingOf(result.outcome);
  json event{{"event", "end"},
             {"status", identified ? "identified" : ending.text},
             {"outcome", identified ? "identified" : ending.name},
             {"exit_status", exitStatus},
             {"elapsed_ms", elapsedMs}};
  // Which firmware this run sends, so that the record names what went into
  // the remote.
  event["images"] = json{{"main", firmware::MainImageSha256}};
  if (path_ == protocol::UpdatePath::Loader) {
    event["images"]["loader"] = firmware::LoaderImageSha256;
  }
  if (result.cause.kind != link::CauseKind::None) {
    event["cause"] = json{{"kind", CauseNames[static_cast<std::size_t>(result.cause.kind)]},
                          {"code", result.cause.code},
                          {"text", result.cause.text}};
  }
  Emit(std::move(event));
}

}  // namespace corvane::shell
