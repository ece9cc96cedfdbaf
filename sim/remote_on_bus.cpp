#include "sim/remote_on_bus.h"

namespace corvane::sim {

bool RemoteOnBus::Present(Millis now) {
  const std::lock_guard lock(mutex_);
  if (present_ && now >= leavesAt_) {
    Leave();
    returnsAt_ = leavesAt_ + replug_->awayMs;
    leavesAt_ = Never;
    replug_.reset();
  }
  if (!present_ && now >= returnsAt_) {
    present_ = true;
    returnsAt_ = Never;
    if (restarting_) {
      remote_.Restarted();
    }
  }
  return present_;
}

std::uint32_t RemoteOnBus::Generation() const {
  const std::lock_guard lock(mutex_);
  return generation_;
}

void RemoteOnBus::ArrivesAt(Millis when) {
  const std::lock_guard lock(mutex_);
  Leave();
  returnsAt_ = when;
  restarting_ = false;
}

void RemoteOnBus::ReplugAfterUpdate(Millis stayMs, Millis awayMs) {
  const std::lock_guard lock(mutex_);
  replug_ = Replug{stayMs, awayMs};
}

void RemoteOnBus::SetPresent(bool present) {
  const std::lock_guard lock(mutex_);
  if (present) {
    present_ = true;
    returnsAt_ = Never;
  } else {
    Leave();
  }
}

void RemoteOnBus::Leave() {
  if (present_) {
    ++generation_;
    replies_.clear();
    mode_ = ReadMode::Replies;
  }
  present_ = false;
  returnsAt_ = Never;
}

WriteBehaviour RemoteOnBus::WriteFor(std::span<const std::uint8_t> frame) const {
  const std::lock_guard lock(mutex_);
  return remote_.WriteBehaviourFor(remote_.Describe(frame));
}

Presence RemoteOnBus::Written(std::span<const std::uint8_t> frame, Millis at) {
  const std::lock_guard lock(mutex_);
  const bool updateEnds = remote_.Describe(frame).kind == FrameKind::MainEnd;
  const Answer answer = remote_.Take(frame);
  mode_ = answer.mode;
  if (answer.reply) {
    replies_.push_back({at + answer.delayMs, *answer.reply});
  }
  if (answer.presence != Presence::Stays) {
    Leave();
    const auto& delay = remote_.restartDelayMs;
    restarting_ = answer.presence == Presence::Restarts;
    returnsAt_ = restarting_ && delay ? at + *delay : Never;
  } else if (updateEnds && replug_ && leavesAt_ == Never) {
    leavesAt_ = at + replug_->stayMs;
  }
  return answer.presence;
}

RemoteOnBus::NextRead RemoteOnBus::Next() const {
  const std::lock_guard lock(mutex_);
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
  const std::lock_guard lock(mutex_);
  if (replies_.empty()) {
    return {};
  }
  std::vector<std::uint8_t> bytes = std::move(replies_.front().bytes);
  replies_.pop_front();
  return bytes;
}

}  // namespace corvane::sim
