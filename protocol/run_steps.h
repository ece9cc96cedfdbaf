// The exchanges and endings that the update run and the loader path share.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "protocol/frames.h"
#include "protocol/transfer.h"
#include "shell/window_operations.h"

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

// Opens the link, probes the remote and asks for its identity. When the
// remote is absent, the probe fails or a write fails, ends the run and gives
// nothing.
std::optional<Identity> Connect(shell::WindowOperations& window);

enum class WindowAfter { StaysOpen, Closes };

// Ends a run: closes the link around showing `text`.
void EndRun(shell::WindowOperations& window, std::string_view text, WindowAfter after);
// Ends the run when the transfer did not complete; true when it did.
bool EndOnTransferFailure(shell::WindowOperations& window, TransferResult result,
                          WindowAfter afterNoReply);
// Writes the end frame of an image; ends the run and gives false when the
// write failed.
bool SendEndFrame(shell::WindowOperations& window, std::uint8_t markerSecond);
// Ends a run that sent the main image and its end frame.
void EndRunCompleted(shell::WindowOperations& window);

}  // namespace corvane::protocol
