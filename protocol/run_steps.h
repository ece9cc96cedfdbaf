// The exchanges and endings that the update run and the loader path share.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

#include "firmware/images.h"
#include "link/device_link.h"
#include "protocol/frames.h"
#include "protocol/outcome.h"
#include "protocol/run_observer.h"
#include "protocol/transfer.h"
#include "protocol/window_operations.h"

namespace corvane::protocol {

// What one update run works with: its link, the images it sends, the
// window it shows itself in and who else hears of it.
struct Run {
  link::DeviceLink& link;
  const firmware::Images& images;
  WindowOperations& window;
  RunObserver& observer;
};

// Whether a write completed with every byte of a frame of `size` bytes.
bool WroteWhole(const link::PipeResult& write, std::size_t size);

// Writes a whole frame with the write time-out; false unless every byte of
// it was written.
bool WriteFrame(link::DeviceLink& link, std::span<const std::uint8_t> frame);

// What the remote said to the identity request: the read and the reply
// buffer, zero where the read did not fill it.
struct Identity {
  link::PipeResult read;
  std::array<std::uint8_t, IdentityReplySize> reply{};

  // Nothing came back, or a whole reply that does not echo the request.
  bool Failed() const;
  // A whole reply that echoes the request.
  bool Echoed() const;
  // The remote's path bytes both differ from the image's: it needs the
  // loader.
  bool CallsForLoader(const firmware::Images& images) const;
  // Both its flag bytes differ from the image's.
  std::uint8_t HeaderFlag(const firmware::Images& images) const;
  // What the reply says, and what an update would do with it.
  RemoteIdentity Described(const firmware::Images& images) const;
};

// The remote's identity, or how the run ended without it.
using Connection = std::variant<Identity, RunResult>;

// Opens the link, probes the remote and asks for its identity; ends the run
// when the remote is absent, the probe fails or a write fails.
Connection Connect(const Run& run);

// Ends a run: closes the link around showing the outcome.
RunResult EndRun(const Run& run, Outcome outcome, link::Cause cause = {});

// After an image's transfer, writes its end frame. Gives how the run ended
// when it ended here, nothing when it goes on.
std::optional<RunResult> FinishImage(const Run& run, TransferResult result, Outcome onNoReply,
                                     std::uint8_t endMarkerSecond);

}  // namespace corvane::protocol
