#include "protocol/run_steps.h"

#include "link/device_link.h"
#include "protocol/timeouts.h"

namespace corvane::protocol {

bool WriteFrame(std::span<const std::uint8_t> frame) {
  const auto count = static_cast<std::int32_t>(frame.size());
  std::int32_t written = 0;
  return link::WritePipe(frame.data(), count, &written, WriteTimeoutMs) == 1 && written == count;
}

bool Identity::Failed() const {
  const FrameHeader request = IdentityRequest();
  return ident == 0 ||
         (ident == IdentityReplySize && (reply[0] != request[0] || reply[1] != request[1]));
}

Connection Connect(WindowOperations& window) {
  if (link::OpenDevice() == 0) {
    return EndRun(window, Outcome::NoRemote);
  }
  const std::array<std::uint8_t, 1> probe{ProbeCommand};
  if (!WriteFrame(probe)) {
    return EndRun(window, Outcome::WriteFailed);
  }
  // A read that times out or fails is no failure of the probe; one that
  // completes with nothing, or with another byte, is.
  std::array<std::uint8_t, 1> ack{};
  const std::int32_t read = link::ReadPipe(ack.data(), 1, ProbeReplyTimeoutMs);
  if (read == 0 || (read > 0 && ack[0] != ProbeAck)) {
    return EndRun(window, Outcome::ProbeFailed);
  }
  if (!WriteFrame(IdentityRequest())) {
    return EndRun(window, Outcome::WriteFailed);
  }
  Identity identity;
  identity.ident = link::ReadPipe(identity.reply.data(), IdentityReplySize, IdentityReplyTimeoutMs);
  return identity;
}

Outcome EndRun(WindowOperations& window, Outcome outcome) {
  const Ending& ending = EndingOf(outcome);
  link::CloseDevice();
  window.SetStatusText(ending.text);
  if (outcome == Outcome::Completed) {
    window.SetProgressValue(0);
  }
  if (ending.window == WindowAfter::Closes) {
    window.CloseWindow();
  }
  link::CloseDevice();
  return outcome;
}

std::optional<Outcome> FinishImage(WindowOperations& window, TransferResult result,
                                   Outcome onNoReply, std::uint8_t endMarkerSecond) {
  switch (result) {
    case TransferResult::WriteFailed:
      return EndRun(window, Outcome::WriteFailed);
    case TransferResult::NoReply:
      return EndRun(window, onNoReply);
    case TransferResult::Completed:
      break;
  }
  if (!WriteFrame(EndFrame(endMarkerSecond))) {
    return EndRun(window, Outcome::WriteFailed);
  }
  return std::nullopt;
}

}  // namespace corvane::protocol
