// What the Start button runs: one whole update of the connected remote.
#pragma once

#include <cstdint>
#include <variant>

#include "firmware/images.h"
#include "link/device_link.h"
#include "protocol/outcome.h"
#include "protocol/run_observer.h"
#include "protocol/window_operations.h"

namespace corvane::protocol {

// Connects, probes and identifies the remote, sends the main image (by way
// of the loader when the remote calls for it), shows the one outcome and
// gives it, with its cause where the system gave one. The link is closed
// when it returns.
RunResult UpdateFirmware(link::DeviceLink& link, const firmware::Images& images,
                         WindowOperations& window, RunObserver* observer = nullptr);

// Probes and identifies the remote and writes nothing else; the link is
// closed when it returns. How the run ended when it could not.
std::variant<RemoteIdentity, RunResult> Identify(link::DeviceLink& link,
                                                 const firmware::Images& images,
                                                 WindowOperations& window,
                                                 RunObserver* observer = nullptr);

// Lets the tick count run more than `delay` ms past its first reading: the
// first reading strictly past it ends the wait. Sleeps meanwhile, telling
// `observer` about once a second what is left.
void TimeDelay(link::DeviceLink& link, std::int32_t delay, RunObserver& observer);

}  // namespace corvane::protocol
