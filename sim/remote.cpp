#include "sim/remote.h"

#include <algorithm>
#include <numeric>

#include "firmware/image_layout.h"

namespace corvane::sim {
namespace {

// The remote checks frames with its own arithmetic, so that a fault in the
// updater's frame code cannot hide behind the same code on both sides.
constexpr std::uint8_t Probe = 0xF8;
constexpr std::uint8_t Ack = 0xF6;
constexpr std::size_t Header = 8;
constexpr std::size_t BlockSize = 4096;

std::uint8_t Sum(std::span<const std::uint8_t> bytes) {
  return static_cast<std::uint8_t>(std::accumulate(bytes.begin(), bytes.end(), 0u) & 0xFFu);
}

bool HeaderSumOk(std::span<const std::uint8_t> frame) {
  return frame.size() >= Header && frame[7] == Sum(frame.first(7));
}

std::size_t PayloadLength(std::span<const std::uint8_t> frame) {
  return std::size_t{frame[2]} * 256 + frame[3];
}

std::uint16_t BlockNumber(std::span<const std::uint8_t> frame) {
  return static_cast<std::uint16_t>(frame[4] * 256 + frame[5]);
}

}  // namespace

std::vector<std::uint8_t> BlockReplyWith(std::uint16_t number) {
  std::vector<std::uint8_t> reply{0xAD,
                                  0xFA,
                                  0,
                                  0,
                                  static_cast<std::uint8_t>(number >> 8),
                                  static_cast<std::uint8_t>(number & 0xFF),
                                  0,
                                  0};
  reply[7] = Sum(std::span(reply).first(7));
  return reply;
}

std::vector<std::uint8_t> IdentityReplyWith(std::array<std::uint8_t, 4> identityBytes) {
  std::array<std::uint8_t, firmware::ImageInfoSize> info{0x00,
                                                         0x00,
                                                         0x01,
                                                         0x00,
                                                         0x00,
                                                         0x00,
                                                         0x1B,
                                                         0x1B,
                                                         0x05,
                                                         0x00,
                                                         0x00,
                                                         0x00,
                                                         identityBytes[0],
                                                         identityBytes[1],
                                                         0x00,
                                                         identityBytes[2],
                                                         identityBytes[3]};
  info.back() = firmware::ImageInfoSum(info);
  std::vector<std::uint8_t> reply(48, 0);
  reply[0] = 0xAD;
  reply[1] = 0xFA;
  std::copy(info.begin(), info.end(), reply.begin() + 16);
  return reply;
}

SimRemote::SimRemote()
    : identityReply(IdentityReplyWith({0x00, 0x09, 0x00, 0x00})),
      loaderIdentityReply(IdentityReplyWith({0x00, 0x09, 0x01, 0x01})) {}

Received SimRemote::Describe(std::span<const std::uint8_t> frame) const {
  Received r;
  r.afterRestart = afterRestart_;
  if (frame.size() == 1 && frame[0] == Probe) {
    r.kind = FrameKind::Probe;
  } else if (frame.size() == Header && frame[0] == 0xBD && frame[1] == 0xFA) {
    r.kind = FrameKind::MainEnd;
  } else if (frame.size() == Header && frame[0] == 0xBD && frame[1] == 0xCF) {
    r.kind = FrameKind::LoaderEnd;
  } else if (frame.size() >= Header && frame[0] == 0xAD && frame[1] == 0xFA) {
    r.kind = PayloadLength(frame) == 0 ? FrameKind::IdentityRequest : FrameKind::Block;
    if (r.kind == FrameKind::Block) {
      r.block = BlockNumber(frame);
      r.attempt = r.block == attemptBlock_ ? attemptCount_ + 1 : 1;
    }
  }
  return r;
}

WriteBehaviour SimRemote::WriteBehaviourFor(const Received& received) const {
  return writeHook ? writeHook(received) : WriteBehaviour{};
}

Answer SimRemote::Take(std::span<const std::uint8_t> frame) {
  const Received received = Describe(frame);
  if (received.kind == FrameKind::Block) {
    attemptBlock_ = received.block;
    attemptCount_ = received.attempt;
  }
  const Answer normal = NormalAnswer(received, frame);
  if (answerHook) {
    if (auto changed = answerHook(received, normal)) {
      return *changed;
    }
  }
  return normal;
}

Answer SimRemote::NormalAnswer(const Received& received, std::span<const std::uint8_t> frame) {
  Answer answer;
  answer.delayMs = replyDelayMs;
  if (received.kind != FrameKind::Probe && received.kind != FrameKind::Unknown &&
      !HeaderSumOk(frame)) {
    Violation("header checksum wrong");
    return answer;
  }
  switch (received.kind) {
    case FrameKind::Probe:
      StartSession();
      answer.reply = std::vector<std::uint8_t>{Ack};
      break;
    case FrameKind::IdentityRequest:
      CheckBareHeader(frame);
      identified_ = true;
      answer.reply = afterRestart_ ? loaderIdentityReply : identityReply;
      break;
    case FrameKind::Block:
      if (TakeBlock(received, frame)) {
        answer.reply = BlockReplyWith(static_cast<std::uint16_t>(received.block + 1));
      }
      break;
    case FrameKind::MainEnd:
    case FrameKind::LoaderEnd:
      CheckBareHeader(frame);
      EndImage(received.kind);
      if (received.kind == FrameKind::LoaderEnd) {
        answer.presence = Presence::Restarts;
      }
      break;
    case FrameKind::Unknown:
      Violation("unknown frame of " + std::to_string(frame.size()) + " bytes");
      break;
  }
  return answer;
}

void SimRemote::CheckBareHeader(std::span<const std::uint8_t> frame) {
  // A header without payload carries no length, block number or flag.
  if (std::any_of(frame.begin() + 2, frame.begin() + 7, [](std::uint8_t b) { return b != 0; })) {
    Violation("header without payload has non-zero fields");
  }
}

bool SimRemote::TakeBlock(const Received& received, std::span<const std::uint8_t> frame) {
  const std::string name = "block " + std::to_string(received.block) + ": ";
  if (!identified_) {
    Violation(name + "before the identity exchange");
  }
  const std::size_t length = PayloadLength(frame);
  if (length > BlockSize || frame.size() != length + Header + 1) {
    Violation(name + std::to_string(frame.size()) + " bytes for a payload of " +
              std::to_string(length));
    return false;
  }
  if (frame.back() != Sum(frame.first(frame.size() - 1))) {
    Violation(name + "trailing checksum wrong");
    return false;
  }
  if (currentFlag_ && *currentFlag_ != frame[6]) {
    Violation(name + "header flag changed within the image");
  }
  currentFlag_ = frame[6];
  const auto payload = frame.subspan(Header, length);
  if (received.block != 0 && received.block == lastBlock_) {
    const auto stored = current_.begin() + static_cast<long>((lastBlock_ - 1) * BlockSize);
    if (!std::equal(payload.begin(), payload.end(), stored, current_.end())) {
      Violation(name + "sent again with other bytes");
    }
    return true;
  }
  if (received.block != lastBlock_ + 1 || lastBlockShort_) {
    Violation(name + "out of order after block " + std::to_string(lastBlock_));
    return false;
  }
  const std::size_t offset = (std::size_t{received.block} - 1) * BlockSize;
  current_.resize(offset + length);
  std::copy(payload.begin(), payload.end(), current_.begin() + static_cast<long>(offset));
  lastBlock_ = received.block;
  lastBlockShort_ = length < BlockSize;
  return true;
}

void SimRemote::EndImage(FrameKind end) {
  if (current_.empty()) {
    Violation("end frame without blocks");
  }
  images_.push_back({current_, currentFlag_.value_or(0), end, afterRestart_});
  StartSession();
}

void SimRemote::StartSession() {
  identified_ = false;
  current_.clear();
  currentFlag_.reset();
  lastBlock_ = 0;
  lastBlockShort_ = false;
  attemptBlock_ = 0;
  attemptCount_ = 0;
}

void SimRemote::Restarted() {
  afterRestart_ = true;
  StartSession();
}

void SimRemote::Violation(std::string what) {
  violations_.push_back(std::move(what));
}

}  // namespace corvane::sim
