#include "protocol/run_steps.h"

#include "link/device_link.h"
#include "protocol/status_texts.h"
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

std::optional<Identity> Connect(shell::WindowOperations& window) {
  if (link::OpenDevice() == 0) {
    EndRun(window, NoDeviceText, WindowAfter::StaysOpen);
    return std::nullopt;
  }
  const std::array<std::uint8_t, 1> probe{ProbeCommand};
  if (!WriteFrame(probe)) {
    EndRun(window, WriteFailedText, WindowAfter::StaysOpen);
    return std::nullopt;
  }
  // A read that times out or fails is no failure of the probe; one that
  // completes with nothing, or with another byte, is.
  std::array<std::uint8_t, 1> ack{};
  const std::int32_t read = link::ReadPipe(ack.data(), 1, ProbeReplyTimeoutMs);
  if (read == 0 || (read > 0 && ack[0] != ProbeAck)) {
    EndRun(window, ProbeFailedText, WindowAfter::StaysOpen);
    return std::nullopt;
  }
  if (!WriteFrame(IdentityRequest())) {
    EndRun(window, WriteFailedText, WindowAfter::StaysOpen);
    return std::nullopt;
  }
  Identity identity;
  identity.ident = link::ReadPipe(identity.reply.data(), IdentityReplySize, IdentityReplyTimeoutMs);
  return identity;
}

void EndRun(shell::WindowOperations& window, std::string_view text, WindowAfter after) {
  link::CloseDevice();
  window.SetStatusText(text);
  if (after == WindowAfter::Closes) {
    window.CloseWindow();
  }
  link::CloseDevice();
}

bool EndOnTransferFailure(shell::WindowOperations& window, TransferResult result,
                          WindowAfter afterNoReply) {
  switch (result) {
    case TransferResult::WriteFailed:
      EndRun(window, WriteFailedText, WindowAfter::StaysOpen);
      return true;
    case TransferResult::NoReply:
      EndRun(window, BlockReplyFailedText, afterNoReply);
      return true;
    case TransferResult::Completed:
      break;
  }
  return false;
}

bool SendEndFrame(shell::WindowOperations& window, std::uint8_t markerSecond) {
  if (WriteFrame(EndFrame(markerSecond))) {
    return true;
  }
  EndRun(window, WriteFailedText, WindowAfter::StaysOpen);
  return false;
}

void EndRunCompleted(shell::WindowOperations& window) {
  link::CloseDevice();
  window.SetStatusText(CompletedText);
  window.SetProgressValue(0);
  link::CloseDevice();
}

}  // namespace corvane::protocol
