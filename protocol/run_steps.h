// The exchanges and endings that the update run and the loader path share.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <variant>

#include "protocol/frames.h"
#include "protocol/outcome.h"
#include "protocol/transfer.h"
#include "protocol/window_operations.h"

namespace corvane::protocol {

// Writes a whole frame with the write time-out; false unless every byte of
// it was written.
bool WriteFrame(std::span<const std::uint8_t> frame);

// What the remote said to the identity request: the read's result and the
// reply buffer, zero where the read did not fill it.
struct Identity {
  std::int32_t ident = 0;
  std::array<std::uint8_t, IdentityReplySize> reply{};

  // Nothing came back, or a whole reply that does not echo the request.
  bool Failed() const;
};

// The remote's identity, or the outcome the run ended in without it.
using Connection = std::variant<Identity, Outcome>;

// Opens the link, probes the remote and asks for its identity; ends the run
// when the remote is absent, the probe fails or a write fails.
Connection Connect(WindowOperations& window);

// Ends a run: closes the link around showing the outcome.
Outcome EndRun(WindowOperations& window, Outcome outcome);

// After an image's transfer, writes its end frame. Gives the outcome when
// the run ended here, nothing when it goes on.
std::optional<Outcome> FinishImage(WindowOperations& window, TransferResult result,
                                   Outcome onNoReply, std::uint8_t endMarkerSecond);

}  // namespace corvane::protocol
