// A simulated remote as a bus sees it: frames written to it, the replies it
// has ready, and its leaving and coming back. The one place where the
// remote's answers turn into traffic, for the simulated backend and for
// every test bed that serves the remote over a real backend. It may be
// looked at from one thread while a run on another writes to the remote:
// corvane-flash --watch lists the remotes while it updates some.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

#include "sim/clock.h"
#include "sim/remote.h"

namespace corvane::sim {

class RemoteOnBus {
 public:
  explicit RemoteOnBus(SimRemote& remote) : remote_(remote) {}

  SimRemote& remote() { return remote_; }

  // On the bus at `now`. A remote that restarted is back once its restart
  // delay has passed, and starts afresh.
  bool Present(Millis now);
  // Grows each time the remote leaves: whatever was opened on it before is
  // dead.
  std::uint32_t Generation() const;
  // Pulled out or put back by hand.
  void SetPresent(bool present);
  // Not there yet: plugged in at `when`, a remote that never left.
  void ArrivesAt(Millis when);
  // Once its update has ended (the main image's end frame taken), stays
  // `stayMs` more, leaves and is plugged in again `awayMs` later, as a
  // remote on a fixture is; once.
  void ReplugAfterUpdate(Millis stayMs, Millis awayMs);

  // How a write of `frame` goes: asked before the write starts.
  WriteBehaviour WriteFor(std::span<const std::uint8_t> frame) const;
  // The bytes of a write that completed at `at` reach the remote. Gives
  // whether the remote now leaves the bus.
  Presence Written(std::span<const std::uint8_t> frame, Millis at);
  // When a remote that left comes back; Never when it does not.
  Millis ReturnsAt() const { return returnsAt_; }

  enum class ReadKind {
    Reply,    // a reply, ready at readyAt
    Empty,    // reads complete at once with no byte
    Pending,  // nothing to read: a read stays pending
    Fails,    // a wait for a read fails
  };
  struct NextRead {
    ReadKind kind = ReadKind::Pending;
    Millis readyAt = 0;
  };
  NextRead Next() const;
  // Takes the reply Next() announced.
  std::vector<std::uint8_t> TakeReply();

 private:
  struct Reply {
    Millis readyAt = 0;
    std::vector<std::uint8_t> bytes;
  };
  struct Replug {
    Millis stayMs = 0;
    Millis awayMs = 0;
  };

  // Off the bus: whatever was opened on it is dead.
  void Leave();

  mutable std::mutex mutex_;
  SimRemote& remote_;
  bool present_ = true;
  Millis returnsAt_ = Never;
  bool restarting_ = false;  // it left to restart, rather than to arrive later
  std::optional<Replug> replug_;
  Millis leavesAt_ = Never;  // for the replug
  std::uint32_t generation_ = 0;
  std::deque<Reply> replies_;
  ReadMode mode_ = ReadMode::Replies;
};

}  // namespace corvane::sim
