#include <cstdint>

#include "firmware/images.h"
#include "link/device_link.h"
#include "protocol/run_steps.h"
#include "protocol/timeouts.h"
#include "protocol/update_run.h"

namespace corvane::protocol {

void TimeDelay(std::int32_t delay) {
  const std::uint32_t start = link::TickCount();
  // The unsigned difference stays right across a wrap of the tick count.
  while (static_cast<std::int64_t>(link::TickCount() - start) <= delay) {
  }
}

Outcome UpdateWithLoader(WindowOperations& window) {
  firmware::LoadLoaderImage();
  std::int32_t ProgressTotal = 0;
  const auto loaderResult = TransferImage(
      firmware::LoaderImage, LoaderTransferSize, 1, ProgressTotal, [&](std::int32_t total) {
        window.SetProgressMin(0);
        window.SetProgressMax(static_cast<float>(LoaderTransferSize + firmware::MainImageSize));
        window.SetProgressValue(static_cast<float>(total));
      });
  if (const auto ended =
          FinishImage(window, loaderResult, Outcome::LoaderNoReply, LoaderEndMarkerSecond)) {
    return *ended;
  }

  link::CloseDevice();
  TimeDelay(LoaderRestartDelayMs);
  const Connection connection = Connect(window);
  if (const auto* ended = std::get_if<Outcome>(&connection)) {
    return *ended;
  }
  // Only the echo is judged now: the path was chosen before the restart.
  if (std::get<Identity>(connection).Failed()) {
    return EndRun(window, Outcome::IdentityFailed);
  }

  const auto mainResult = TransferImage(
      firmware::MainImage, firmware::MainImageSize, 0, ProgressTotal,
      [&](std::int32_t total) { window.SetProgressValue(static_cast<float>(total)); });
  if (const auto ended = FinishImage(window, mainResult, Outcome::NoReply, MarkerSecond)) {
    return *ended;
  }
  return EndRun(window, Outcome::Completed);
}

}  // namespace corvane::protocol
