#include "shell/terminal/json_events.h"

#include <nlohmann/json.hpp>

#include <cmath>

#include "firmware/image_layout.h"
#include "link/device_link.h"

namespace corvane::shell {
namespace {

using json = nlohmann::ordered_json;

// Switches without a default, so that the compiler names a value left
// without a name.
std::string_view PhaseName(protocol::Phase phase) {
  switch (phase) {
    case protocol::Phase::Probe:
      return "probe";
    case protocol::Phase::Identity:
      return "identity";
    case protocol::Phase::Loader:
      return "loader";
    case protocol::Phase::Pause:
      return "pause";
    case protocol::Phase::Main:
      return "main";
    case protocol::Phase::End:
      return "end";
  }
  return {};
}

std::string_view PathName(protocol::UpdatePath path) {
  switch (path) {
    case protocol::UpdatePath::Direct:
      return "direct";
    case protocol::UpdatePath::Loader:
      return "loader";
  }
  return {};
}

std::string_view CauseName(link::CauseKind kind) {
  switch (kind) {
    case link::CauseKind::None:
      return "none";
    case link::CauseKind::PermissionDenied:
      return "permission-denied";
    case link::CauseKind::HeldByAnotherProgram:
      return "held-by-another-program";
    case link::CauseKind::DeviceGone:
      return "device-gone";
    case link::CauseKind::Stopped:
      return "stopped";
    case link::CauseKind::SystemError:
      return "system-error";
  }
  return {};
}

}  // namespace

template <typename Object>
void JsonEvents::Emit(Object object) {
  if (!id_.empty()) {
    object["id"] = id_;
  }
  out_.Line(object.dump());
}

void JsonEvents::SetProgressValue(float value) {
  progress_.value = value;
  const double done = std::round(progress_.Done());
  if (done > 0) {
    Emit(json{{"event", "progress"},
              {"done", static_cast<std::int64_t>(done)},
              {"total", static_cast<std::int64_t>(std::round(progress_.Total()))}});
  }
}

void JsonEvents::Found(std::string_view devicePath) {
  Emit(json{{"event", "found"}, {"remote", link::RemoteId(devicePath)}, {"path", devicePath}});
}

void JsonEvents::PhaseStarted(protocol::Phase phase) {
  json event{{"event", "phase"}, {"phase", PhaseName(phase)}};
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
    event["cause"] = json{{"kind", CauseName(result.cause.kind)},
                          {"code", result.cause.code},
                          {"text", result.cause.text}};
  }
  Emit(std::move(event));
}

}  // namespace corvane::shell
