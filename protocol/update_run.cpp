#include "protocol/update_run.h"

#include "link/device_link.h"
#include "protocol/run_steps.h"
#include "protocol/status_texts.h"
#include "shell/images.h"

namespace corvane::protocol {
namespace {

using Reply = std::array<std::uint8_t, IdentityReplySize>;

std::uint8_t ImageInfoByte(std::size_t identityByte) {
  return shell::MainImage[ImageInfoOffset + identityByte - IdentityReplyInfoOffset];
}

// A remote whose path bytes both differ from the image's needs the loader.
bool CallsForLoader(const Reply& reply) {
  return reply[IdentityPathByteA] != ImageInfoByte(IdentityPathByteA) &&
         reply[IdentityPathByteB] != ImageInfoByte(IdentityPathByteB);
}

std::uint8_t HeaderFlagFor(const Reply& reply) {
  return reply[IdentityFlagByteA] != ImageInfoByte(IdentityFlagByteA) &&
                 reply[IdentityFlagByteB] != ImageInfoByte(IdentityFlagByteB)
             ? 1
             : 0;
}

}  // namespace

void UpdateFirmware(shell::WindowOperations& window) {
  link::CloseDevice();
  const auto identity = Connect(window);
  if (!identity) {
    return;
  }
  // The path is chosen on the reply bytes before the echo is judged: a
  // remote that needs the loader may answer with another echo.
  if (CallsForLoader(identity->reply)) {
    UpdateWithLoader(window);
    return;
  }
  const std::uint8_t headerFlag = HeaderFlagFor(identity->reply);
  if (identity->Failed()) {
    EndRun(window, IdentityFailedText, WindowAfter::Closes);
    return;
  }
  std::int32_t ProgressTotal = 0;
  const auto result = TransferImage(
      shell::MainImage, shell::MainImageSize, headerFlag, ProgressTotal, [&](std::int32_t total) {
        window.SetProgressMin(0);
        window.SetProgressMax(static_cast<float>(shell::MainImageSize));
        window.SetProgressValue(static_cast<float>(total));
      });
  if (EndOnTransferFailure(window, result, WindowAfter::Closes) ||
      !SendEndFrame(window, MarkerSecond)) {
    return;
  }
  EndRunCompleted(window);
}

}  // namespace corvane::protocol
