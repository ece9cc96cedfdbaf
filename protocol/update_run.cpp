#include "protocol/update_run.h"

#include "protocol/loader_path.h"
#include "protocol/run_steps.h"

namespace corvane::protocol {
namespace {

using Reply = std::array<std::uint8_t, IdentityReplySize>;

std::uint8_t ImageInfoByte(const firmware::Images& images, std::size_t identityByte) {
  return images.Main()[firmware::ImageInfoOffset + identityByte - IdentityReplyInfoOffset];
}

// A remote whose path bytes both differ from the image's needs the loader.
bool CallsForLoader(const firmware::Images& images, const Reply& reply) {
  return reply[IdentityPathByteA] != ImageInfoByte(images, IdentityPathByteA) &&
         reply[IdentityPathByteB] != ImageInfoByte(images, IdentityPathByteB);
}

std::uint8_t HeaderFlagFor(const firmware::Images& images, const Reply& reply) {
  return reply[IdentityFlagByteA] != ImageInfoByte(images, IdentityFlagByteA) &&
                 reply[IdentityFlagByteB] != ImageInfoByte(images, IdentityFlagByteB)
             ? 1
             : 0;
}

}  // namespace

RunResult UpdateFirmware(link::DeviceLink& link, const firmware::Images& images,
                         WindowOperations& window) {
  const Run run{link, images, window};
  link.CloseDevice();
  const Connection connection = Connect(run);
  if (const auto* ended = std::get_if<RunResult>(&connection)) {
    return *ended;
  }
  const auto& identity = std::get<Identity>(connection);
  // The path is chosen on the reply bytes before the echo is judged: a
  // remote that needs the loader may answer with another echo.
  if (CallsForLoader(images, identity.reply)) {
    return UpdateWithLoader(run);
  }
  const std::uint8_t headerFlag = HeaderFlagFor(images, identity.reply);
  if (identity.Failed()) {
    return EndRun(run, Outcome::IdentityFailed);
  }
  std::int32_t ProgressTotal = 0;
  const auto result = TransferImage(link, images.Main(), firmware::MainImageSize, headerFlag,
                                    ProgressTotal, [&](std::int32_t total) {
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
