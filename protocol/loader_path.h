// The loader path: loader image, restart pause, reconnection, main image.
#pragma once

#include "protocol/run_steps.h"

namespace corvane::protocol {

// Called by UpdateFirmware with the link open and the handshake done.
RunResult UpdateWithLoader(const Run& run);

}  // namespace corvane::protocol
