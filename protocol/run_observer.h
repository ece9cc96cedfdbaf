// What a run says of itself beside the window: the remote it found, what it
// said of itself, the path it takes, each phase and each block, for a
// program that tells a person or a script what is going on. The window
// needs none of it.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace corvane::protocol {

enum class Phase { Probe, Identity, Loader, Pause, Main, End };
enum class UpdatePath { Direct, Loader };

// What a remote says of itself, and what an update would do with it.
struct RemoteIdentity {
  std::array<std::uint8_t, 4> bytes{};  // reply bytes 28, 29, 31 and 32
  bool echoed = false;                  // a whole reply beginning AD FA
  UpdatePath path = UpdatePath::Direct;
  std::uint8_t headerFlag = 0;  // of the main image sent directly
};

// How the sending of one block ended.
enum class BlockEnd {
  Acknowledged,    // a reply named the block
  Unacknowledged,  // replies came, none naming the block: counted as sent
  NoReply,         // no reply at all
  WriteFailed,     // its frame was not written whole
};

struct BlockReport {
  std::int32_t number;  // from 1, in its image
  std::int32_t bytes;   // of the image, in this block
  int attempts;         // writes of its frame
  BlockEnd end;
};

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // The link is open to the remote at this interface path.
  virtual void Found(std::string_view /*devicePath*/) {}
  virtual void PathChosen(UpdatePath /*path*/) {}
  virtual void PhaseStarted(Phase /*phase*/) {}
  // The remote's reply to the identity request, whenever one was read.
  virtual void IdentityRead(const RemoteIdentity& /*identity*/) {}
  // A block of the image being sent, once its sending has ended.
  virtual void BlockEnded(const BlockReport& /*block*/) {}
  // During the restart pause, about once a second: what is left of it.
  virtual void Pausing(std::uint32_t /*remainingMs*/) {}
};

}  // namespace corvane::protocol
