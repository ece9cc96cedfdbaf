#include "protocol/update_run.h"

#include "firmware/images.h"
#include "link/device_link.h"
#include "protocol/run_steps.h"

namespace corvane::protocol {
namespace {

using Reply = std::array<std::uint8_t, IdentityReplySize>;

std::uint8_t ImageInfoByte(std::size_t identityByte) {
  return firmware::MainImage[ImageInfoOffset + identityByte - IdentityReplyInfoOffset];
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

Outcome UpdateFirmware(WindowOperations& window) {
  link::CloseDevice();
  const Connection connection = Connect(window);
  if (const auto* ended = std::get_if<Outcome>(&connection)) {
    return *ended;
  }
  const auto& identity = std::get<Identity>(connection);
  // The path is chosen on the reply bytes before the echo is judged: a
  // remote that needs the loader may answer with another echo.
  if (CallsForLoader(identity.reply)) {
    return UpdateWithLoader(window);
  }
  const std::uint8_t headerFlag = HeaderFlagFor(identity.reply);
  if (identity.Failed()) {
    return EndRun(window, Outcome::IdentityFailed);
  }
  std::int32_t ProgressTotal = 0;
  const auto result =
      TransferImage(firmware::MainImage, firmware::MainImageSize, headerFlag, ProgressTotal,
                    [&](std::int32_t total) {
                      window.SetProgressMin(0);
                      window.SetProgressMax(static_cast<float>(firmware::MainImageSize));
                      window.SetProgressValue(static_cast<float>(total));
                    });
  if (const auto ended = FinishImage(window, result, Outcome::NoReply, MarkerSecond)) {
    return *ended;
  }
  return EndRun(window, Outcome::Completed);
}

}  // namespace corvane::protocol
