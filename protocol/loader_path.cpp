#include <cstdint>

#include "link/device_link.h"
#include "protocol/run_steps.h"
#include "protocol/status_texts.h"
#include "protocol/timeouts.h"
#include "protocol/update_run.h"
#include "shell/images.h"

namespace corvane::protocol {

void TimeDelay(std::int32_t delay) {
  const std::uint32_t start = link::TickCount();
  // The unsigned difference stays right across a wrap of the tick count.
  while (static_cast<std::int64_t>(link::TickCount() - start) <= delay) {
  }
}

void UpdateWithLoader(shell::WindowOperations& window) {
  shell::LoaderImage = shell::LoadImage(shell::LoaderImageId);
  std::int32_t ProgressTotal = 0;
  const auto loaderResult = TransferImage(
      shell::LoaderImage, LoaderTransferSize, 1, ProgressTotal, [&](std::int32_t total) {
        window.SetProgressMin(0);
        window.SetProgressMax(static_cast<float>(LoaderTransferSize + shell::MainImageSize));
        window.SetProgressValue(static_cast<float>(total));
      });
  if (EndOnTransferFailure(window, loaderResult, WindowAfter::StaysOpen) ||
      !SendEndFrame(window, LoaderEndMarkerSecond)) {
    return;
  }

  link::CloseDevice();
  TimeDelay(LoaderRestartDelayMs);
  const auto identity = Connect(window);
  if (!identity) {
    return;
  }
  // Only the echo is judged now: the path was chosen before the restart.
  if (identity->Failed()) {
    EndRun(window, IdentityFailedText, WindowAfter::Closes);
    return;
  }

  const auto mainResult = TransferImage(
      shell::MainImage, shell::MainImageSize, 0, ProgressTotal,
      [&](std::int32_t total) { window.SetProgressValue(static_cast<float>(total)); });
  if (EndOnTransferFailure(window, mainResult, WindowAfter::Closes) ||
      !SendEndFrame(window, MarkerSecond)) {
    return;
  }
  EndRunCompleted(window);
}

}  // namespace corvane::protocol
