#include "protocol/transfer.h"

#include <algorithm>
#include <vector>

#include "protocol/frames.h"
#include "protocol/run_steps.h"
#include "protocol/timeouts.h"

namespace corvane::protocol {
namespace {

constexpr int AttemptsPerBlock = 3;

struct BlockSent {
  BlockEnd end;
  int attempts;
};

// Writes one frame up to three times until the remote acknowledges it.
BlockSent SendBlock(link::DeviceLink& link, std::span<const std::uint8_t> frame,
                    std::uint16_t blockNumber) {
  bool anyReply = false;
  for (int attempt = 1; attempt <= AttemptsPerBlock; ++attempt) {
    if (!WroteWhole(link.WritePipe(frame, WriteTimeoutMs), frame.size())) {
      return {BlockEnd::WriteFailed, attempt};
    }
    std::array<std::uint8_t, BlockReplySize> reply{};
    const link::PipeResult read = link.ReadPipe(reply, BlockReplyTimeoutMs);
    if (read.NothingRead()) {
      return {BlockEnd::NoReply, attempt};
    }
    anyReply = anyReply || read.Delivered();
    if (BlockNumberAt(reply) - 1 == blockNumber) {
      return {BlockEnd::Acknowledged, attempt};
    }
  }
  // Wrong numbers count as sent, which remotes rely on; a block that never
  // got any reply at all was not delivered.
  return {anyReply ? BlockEnd::Unacknowledged : BlockEnd::NoReply, AttemptsPerBlock};
}

}  // namespace

TransferResult TransferImage(link::DeviceLink& link, std::span<const std::uint8_t> image,
                             std::int32_t size, std::uint8_t headerFlag,
                             std::int32_t& ProgressTotal, RunObserver& observer,
                             const ProgressReport& report) {
  if (size < 0 || static_cast<std::size_t>(size) > image.size()) {
    return TransferResult::WriteFailed;  // never send past the image
  }
  std::vector<std::uint8_t> frame(MaxBlockFrameSize);
  std::uint8_t lo = 0;
  std::uint8_t hi = 0;
  const std::int32_t passes = size / MaxPayload + 1;
  for (std::int32_t k = 0; k < passes; ++k) {
    const std::int32_t len = std::min(size - MaxPayload * k, MaxPayload);
    // The counter advances in every pass, also the empty last one.
    if (++lo == 0) {
      ++hi;
    }
    if (len == 0) {
      continue;
    }
    const FrameHeader header = MakeFrameHeader(FrameMarker, MarkerSecond, len, hi, lo, headerFlag);
    const auto payload =
        image.subspan(static_cast<std::size_t>(MaxPayload * k), static_cast<std::size_t>(len));
    const std::int32_t frameSize = BuildBlockFrame(header, payload, frame);
    const BlockSent sent = SendBlock(
        link, std::span(frame).first(static_cast<std::size_t>(frameSize)), BlockNumberAt(header));
    observer.BlockEnded({k + 1, len, sent.attempts, sent.end});
    switch (sent.end) {
      case BlockEnd::WriteFailed:
        return TransferResult::WriteFailed;
      case BlockEnd::NoReply:
        return TransferResult::NoReply;
      case BlockEnd::Acknowledged:
      case BlockEnd::Unacknowledged:
        break;
    }
    ProgressTotal += len;
    report(ProgressTotal);
  }
  return TransferResult::Completed;
}

}  // namespace corvane::protocol
