#include "protocol/update_run.h"

#include "protocol/loader_path.h"
#include "protocol/run_steps.h"

namespace corvane::protocol {
namespace {

RunObserver& ObserverOrNone(RunObserver* observer) {
  static RunObserver none;
  return observer != nullptr ? *observer : none;
}

}  // namespace

RunResult UpdateFirmware(link::DeviceLink& link, const firmware::Images& images,
                         WindowOperations& window, RunObserver* observer) {
  const Run run{link, images, window, ObserverOrNone(observer)};
  const Connection connection = Connect(run);
  if (const auto* ended = std::get_if<RunResult>(&connection)) {
    return *ended;
  }
  const auto& identity = std::get<Identity>(connection);
  // The path is chosen on the reply bytes before the echo is judged: a
  // remote that needs the loader may answer with another echo.
  if (identity.CallsForLoader(images)) {
    run.observer.PathChosen(UpdatePath::Loader);
    return UpdateWithLoader(run);
  }
  const std::uint8_t headerFlag = identity.HeaderFlag(images);
  if (identity.Failed()) {
    return EndRun(run, Outcome::IdentityFailed);
  }
  run.observer.PathChosen(UpdatePath::Direct);
  run.observer.PhaseStarted(Phase::Main);
  std::int32_t ProgressTotal = 0;
  const auto result = TransferImage(link, images.Main(), firmware::MainImageSize, headerFlag,
                                    ProgressTotal, run.observer, [&](std::int32_t total) {
                                      window.SetProgressMin(0);
                                      window.SetProgressMax(firmware::MainImageSize);
                                      window.SetProgressValue(static_cast<float>(total));
                                    });
  if (const auto ended = FinishImage(run, result, Outcome::NoReply, MarkerSecond)) {
    return *ended;
  }
  return EndRun(run, Outcome::Completed);
}

}  // namespace corvane::protocol

namespace corvane::protocol {

std::variant<RemoteIdentity, RunResult> Identify(link::DeviceLink& link,
                                                 const firmware::Images& images,
                                                 WindowOperations& window, RunObserver* observer) {
  const Run run{link, images, window, ObserverOrNone(observer)};
  const Connection connection = Connect(run);
  if (const auto* ended = std::get_if<RunResult>(&connection)) {
    return *ended;
  }
  run.observer.PhaseStarted(Phase::End);
  link.CloseDevice();
  return std::get<Identity>(connection).Described(images);
}

}  // namespace corvane::protocol
