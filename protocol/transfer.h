// Sending one image to the remote, block by block, with acknowledgement.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "link/device_link.h"
#include "protocol/run_observer.h"

namespace corvane::protocol {

enum class TransferResult {
  Completed,    // every block was sent
  WriteFailed,  // a BlockFrame was not written whole
  NoReply,      // a reply read gave nothing, or a block's every read gave no reply
};

// Called after each block with the run's ProgressTotal.
using ProgressReport = std::function<void(std::int32_t progressTotal)>;

// Sends the first `size` bytes of `image` (the caller guarantees that many)
// with the link open and the handshake done, telling `observer` how each
// block's sending ended. Leaves the link open.
TransferResult TransferImage(link::DeviceLink& link, std::span<const std::uint8_t> image,
                             std::int32_t size, std::uint8_t headerFlag,
                             std::int32_t& ProgressTotal, RunObserver& observer,
                             const ProgressReport& report);

}  // namespace corvane::protocol
