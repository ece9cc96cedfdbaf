#include "sim/remote_on_bus.h"

namespace corvane::sim {

bool RemoteOnBus::Present(Millis now) {
  if (!present_ && now >= returnsAt_) {
    present_ = true;
    returnsAt_ = Never;
    if (restarting_) {
      remote_.Restarted();
    }
  }
  return present_;
}

void RemoteOnBus::ArrivesAt(Millis when) {
  SetPresent(false);
  returnsAt_ = when;
  restarting_ = false;
}

void RemoteOnBus::SetPresent(bool present) {
  if (present_ && !present) {
    ++generation_;
    replies_.clear();
    mode_ = ReadMode::Replies;
  }
  present_ = present;
  returnsAt_ = Never;
}

WriteBehaviour RemoteOnBus::WriteFor(std::span<const std::uint8_t> frame) const {
  return remote_.WriteBehaviourFor(remote_.Describe(frame));
}

Presence RemoteOnBus::Written(std::span<const std::uint8_t> frame, Millis at) {
  const Answer answer = remote_.Take(frame);
  mode_ = answer.mode;
  if (answer.reply) {
    replies_.push_back({at + answer.delayMs, *answer.reply});
  }
  if (answer.presence != Presence::Stays) {
    SetPresent(false);
    const auto& delay = remote_.restartDelayMs;
    restarting_ = answer.presence == Presence::Restarts;
    returnsAt_ = restarting_ && delay ? at + *delay : Never;
  }
  return answer.presence;
}

RemoteOnBus::NextRead RemoteOnBus::Next() const {
  // A remote whose reads fail fails them whatever it had queued.
  if (mode_ == ReadMode::WaitFails) {
    return {ReadKind::Fails, 0};
  }
  if (!replies_.empty()) {
    return {ReadKind::Reply, replies_.front().readyAt};
  }
  if (mode_ == ReadMode::Empty) {
    return {ReadKind::Empty, 0};
  }
  return {ReadKind::Pending, Never};
}

std::vector<std::uint8_t> RemoteOnBus::TakeReply() {
  if (replies_.empty()) {
    return {};
  }
  std::vector<std::uint8_t> bytes = std::move(replies_.front().bytes);
  replies_.pop_front();
  return bytes;
}

}  // namespace corvane::sim
