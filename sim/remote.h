// A simulated remote: answers the update protocol as a conforming remote
// must, checks every frame it receives, and keeps the images it was sent.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvane::sim {

enum class FrameKind { Probe, IdentityRequest, Block, MainEnd, LoaderEnd, Unknown };

// What the remote makes of a frame, before it takes it.
struct Received {
  FrameKind kind = FrameKind::Unknown;
  bool afterRestart = false;  // the remote has restarted after a loader image
  std::uint16_t block = 0;    // BlockCounter of a Block
  int attempt = 1;            // how often this block arrived in a row
};

// How reads behave until the next frame arrives.
enum class ReadMode {
  Replies,    // reads take the queued replies; with none they stay pending
  Empty,      // reads complete at once with no byte
  WaitFails,  // waits for a read fail
};

enum class Presence { Stays, Restarts, Unplugged };

struct Answer {
  std::optional<std::vector<std::uint8_t>> reply;  // one message, if any
  std::uint32_t delayMs = 0;                       // after the frame was written
  ReadMode mode = ReadMode::Replies;
  Presence presence = Presence::Stays;
};

enum class WriteFault { None, WaitFails, Stalls, Short };

struct WriteBehaviour {
  WriteFault fault = WriteFault::None;
  std::uint32_t shortBy = 0;  // bytes not written, for Short
};

struct ReceivedImage {
  std::vector<std::uint8_t> bytes;
  std::uint8_t headerFlag = 0;
  FrameKind end = FrameKind::MainEnd;
  bool afterRestart = false;
};

// An 8-byte BlockReply carrying `number` (a conforming remote sends the
// block's number plus one).
std::vector<std::uint8_t> BlockReplyWith(std::uint16_t number);

// The 48-byte identity reply of a remote whose bytes 28, 29, 31 and 32 are
// the given ones.
std::vector<std::uint8_t> IdentityReplyWith(std::array<std::uint8_t, 4> identityBytes);

class SimRemote {
 public:
  SimRemote();

  // The identity reply before and after the restart.
  std::vector<std::uint8_t> identityReply;
  std::vector<std::uint8_t> loaderIdentityReply;
  std::uint32_t replyDelayMs = 0;
  // Time from the loader's end frame until the remote is present again;
  // std::nullopt: it never comes back.
  std::optional<std::uint32_t> restartDelayMs = 3000;
  // The USB serial number it reports; empty: none.
  std::string serialNumber;

  // Scenario hooks: a changed answer to a frame, a fault on its write.
  std::function<std::optional<Answer>(const Received&, const Answer& normal)> answerHook;
  std::function<WriteBehaviour(const Received&)> writeHook;

  Received Describe(std::span<const std::uint8_t> frame) const;
  WriteBehaviour WriteBehaviourFor(const Received& received) const;
  // Takes a frame that arrived (whole or cut short) and gives the answer.
  Answer Take(std::span<const std::uint8_t> frame);
  void Restarted();

  const std::vector<ReceivedImage>& images() const { return images_; }
  // Every protocol error the remote saw, one line each.
  const std::vector<std::string>& violations() const { return violations_; }

 private:
  Answer NormalAnswer(const Received& received, std::span<const std::uint8_t> frame);
  // False for a block the remote refuses (and so does not acknowledge).
  bool TakeBlock(const Received& received, std::span<const std::uint8_t> frame);
  void CheckBareHeader(std::span<const std::uint8_t> frame);
  void EndImage(FrameKind end);
  void StartSession();
  void Violation(std::string what);

  bool afterRestart_ = false;
  bool identified_ = false;  // the identity exchange of this session is done
  std::vector<std::uint8_t> current_;
  std::optional<std::uint8_t> currentFlag_;
  std::uint16_t lastBlock_ = 0;
  bool lastBlockShort_ = false;
  std::uint16_t attemptBlock_ = 0;
  int attemptCount_ = 0;
  std::vector<ReceivedImage> images_;
  std::vector<std::string> violations_;
};

}  // namespace corvane::sim
