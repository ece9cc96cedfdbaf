// What the Start button runs: one whole update of the connected remote.
#pragma once

#include <cstdint>

#include "protocol/outcome.h"
#include "protocol/window_operations.h"

namespace corvane::protocol {

// Connects, probes and identifies the remote, sends the main image (by way
// of the loader when the remote calls for it), shows the one outcome and
// gives it. Needs the main image loaded.
Outcome UpdateFirmware(WindowOperations& window);

// The loader path: loader image, restart pause, reconnection, main image.
// Called by UpdateFirmware with the link open and the handshake done.
Outcome UpdateWithLoader(WindowOperations& window);

// The byte count of the loader image that the loader path sends.
inline constexpr std::int32_t LoaderTransferSize = 0x4400;

// Busy-waits until the tick count is more than `delay` ms past its first
// reading.
void TimeDelay(std::int32_t delay);

}  // namespace corvane::protocol
