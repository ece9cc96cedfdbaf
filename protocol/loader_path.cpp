#include "protocol/loader_path.h"

#include <algorithm>
#include <cstdint>

#include "protocol/timeouts.h"
#include "protocol/update_run.h"

namespace corvane::protocol {

void TimeDelay(link::DeviceLink& link, std::int32_t delay, RunObserver& observer) {
  constexpr std::int64_t TellEveryMs = 1000;
  const std::uint32_t start = link.TickCount();
  // The unsigned difference stays right across a wrap of the tick count.
  for (auto elapsed = static_cast<std::int64_t>(link.TickCount() - start);
       elapsed <= delay && !link.Stopped();
       elapsed = static_cast<std::int64_t>(link.TickCount() - start)) {
    // Sleeps until the next reading can be the first one past the delay.
    const std::int64_t left = delay - elapsed + 1;
    observer.Pausing(static_cast<std::uint32_t>(left));
    link.Pause(static_cast<std::uint32_t>(std::min(left, TellEveryMs)));
  }
}

RunResult UpdateWithLoader(const Run& run) {
  constexpr std::int32_t bothImages = firmware::LoaderImageSize + firmware::MainImageSize;
  run.observer.PhaseStarted(Phase::Loader);
  std::int32_t ProgressTotal = 0;
  const auto loaderResult = TransferImage(run.link, run.images.Loader(), firmware::LoaderImageSize,
                                          1, ProgressTotal, run.observer, [&](std::int32_t total) {
                                            run.window.SetProgressMin(0);
                                            run.window.SetProgressMax(bothImages);
                                            run.window.SetProgressValue(static_cast<float>(total));
                                          });
  if (const auto ended =
          FinishImage(run, loaderResult, Outcome::LoaderNoReply, LoaderEndMarkerSecond)) {
    return *ended;
  }

  run.link.CloseDevice();
  run.observer.PhaseStarted(Phase::Pause);
  TimeDelay(run.link, LoaderRestartDelayMs, run.observer);
  const Connection connection = Connect(run);
  if (const auto* ended = std::get_if<RunResult>(&connection)) {
    return *ended;
  }
  // Only the echo is judged now: the path was chosen before the restart.
  if (std::get<Identity>(connection).Failed()) {
    return EndRun(run, Outcome::IdentityFailed);
  }
  run.observer.PhaseStarted(Phase::Main);

  const auto mainResult = TransferImage(
      run.link, run.images.Main(), firmware::MainImageSize, 0, ProgressTotal, run.observer,
      [&](std::int32_t total) { run.window.SetProgressValue(static_cast<float>(total)); });
  if (const auto ended = FinishImage(run, mainResult, Outcome::NoReply, MarkerSecond)) {
    return *ended;
  }
  return EndRun(run, Outcome::Completed);
}

}  // namespace corvane::protocol
