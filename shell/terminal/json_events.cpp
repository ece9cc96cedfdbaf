#include "shell/terminal/json_events.h"

#include <nlohmann/json.hpp>

#include <cmath>

#include "firmware/image_layout.h"
#include "link/device_link.h"
#include "shell/terminal/exit_status.h"
#include "shell/terminal/options.h"

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
    case link::CauseKind::DriverMissing:
      return "driver-missing";
    case link::CauseKind::DeviceGone:
      return "device-gone";
    case link::CauseKind::Stopped:
      return "stopped";
    case link::CauseKind::SystemError:
      return "system-error";
  }
  return {};
}

json Images(protocol::UpdatePath path) {
  json images{{"main", firmware::MainImageSha256}};
  if (path == protocol::UpdatePath::Loader) {
    images["loader"] = firmware::LoaderImageSha256;
  }
  return images;
}

}  // namespace

template <typename Object>
void JsonLines::Emit(std::string_view id, const Object& object) {
  json line{{"event", object.at("event")}, {"time", Rfc3339Utc(clock_())}};
  for (const auto& [key, value] : object.items()) {
    if (key != "event") {
      line[key] = value;
    }
  }
  if (!id.empty()) {
    line["id"] = id;
  }
  out_.Line(line.dump());
}

void JsonLines::Start() {
  Emit({}, json{{"event", "start"},
                {"schema", JsonSchema},
                {"program", FlashProgram},
                {"version", CORVANE_VERSION},
                {"images", Images(protocol::UpdatePath::Loader)}});
}

void JsonLines::Remote(const link::ListedRemote& remote) {
  json event{{"event", "remote"}, {"id", remote.id}};
  if (!remote.serial.empty()) {
    event["serial"] = remote.serial;
  }
  event["description"] = remote.description;
  Emit({}, event);
}

void JsonLines::End(int exitStatus, std::string_view statusText) {
  Emit({}, json{{"event", "end"},
                {"status", statusText},
                {"outcome", ExitStatusName(exitStatus)},
                {"exit_status", exitStatus}});
}

void JsonLines::Summary(std::span<const int> statuses, int exitStatus) {
  json outcomes = json::object();
  for (const auto& [name, count] : CountByOutcome(statuses)) {
    outcomes[std::string(name)] = count;
  }
  Emit({}, json{{"event", "summary"},
                {"remotes", statuses.size()},
                {"outcomes", outcomes},
                {"exit_status", exitStatus}});
}

void JsonEvents::SetProgressValue(float value) {
  progress_.value = value;
  const double done = std::round(progress_.Done());
  if (done > 0) {
    lines_.Emit(id_, json{{"event", "progress"},
                          {"done", static_cast<std::int64_t>(done)},
                          {"total", static_cast<std::int64_t>(std::round(progress_.Total()))}});
  }
}

void JsonEvents::Found(std::string_view devicePath) {
  json event{{"event", "found"}, {"remote", link::RemoteId(devicePath)}};
  if (!serial_.empty()) {
    event["serial"] = serial_;
  }
  event["path"] = devicePath;
  lines_.Emit(id_, event);
}

void JsonEvents::PhaseStarted(protocol::Phase phase) {
  json event{{"event", "phase"}, {"phase", PhaseName(phase)}};
  if (phase == protocol::Phase::Main || phase == protocol::Phase::Loader) {
    event["path"] = PathName(path_);
  }
  lines_.Emit(id_, event);
}

void JsonEvents::Identified(const protocol::RemoteIdentity& identity) {
  lines_.Emit(id_, json{{"event", "identity"},
                        {"bytes", identity.bytes},
                        {"echoed", identity.echoed},
                        {"path", PathName(identity.path)},
                        {"header_flag", identity.headerFlag}});
}

void JsonEvents::End(std::string_view statusText, std::string_view outcome, int exitStatus,
                     const link::Cause& cause, std::int64_t elapsedMs) {
  json event{{"event", "end"},
             {"status", statusText},
             {"outcome", outcome},
             {"exit_status", exitStatus},
             {"elapsed_ms", elapsedMs},
             // Which firmware this run sends, so that the record names what
             // went into the remote.
             {"images", Images(path_)}};
  if (cause.kind != link::CauseKind::None) {
    event["cause"] =
        json{{"kind", CauseName(cause.kind)}, {"code", cause.code}, {"text", cause.text}};
  }
  lines_.Emit(id_, event);
}

}  // namespace corvane::shell
