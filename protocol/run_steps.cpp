#include "protocol/run_steps.h"

#include "protocol/timeouts.h"

namespace corvane::protocol {

bool WroteWhole(const link::PipeResult& write, std::size_t size) {
  return write.status == link::PipeStatus::Completed && write.count == size;
}

bool WriteFrame(link::DeviceLink& link, std::span<const std::uint8_t> frame) {
  return WroteWhole(link.WritePipe(frame, WriteTimeoutMs), frame.size());
}

namespace {

bool WholeReply(const link::PipeResult& read) {
  return read.status == link::PipeStatus::Completed && read.count == IdentityReplySize;
}

}  // namespace

bool Identity::Echoed() const {
  const FrameHeader request = IdentityRequest();
  return WholeReply(read) && reply[0] == request[0] && reply[1] == request[1];
}

bool Identity::Failed() const {
  return read.NothingRead() || (WholeReply(read) && !Echoed());
}

namespace {

std::uint8_t ImageInfoByte(const firmware::Images& images, std::size_t identityByte) {
  return images.Main()[firmware::ImageInfoOffset + identityByte - IdentityReplyInfoOffset];
}

}  // namespace

bool Identity::CallsForLoader(const firmware::Images& images) const {
  return reply[IdentityPathByteA] != ImageInfoByte(images, IdentityPathByteA) &&
         reply[IdentityPathByteB] != ImageInfoByte(images, IdentityPathByteB);
}

std::uint8_t Identity::HeaderFlag(const firmware::Images& images) const {
  return reply[IdentityFlagByteA] != ImageInfoByte(images, IdentityFlagByteA) &&
                 reply[IdentityFlagByteB] != ImageInfoByte(images, IdentityFlagByteB)
             ? 1
             : 0;
}

RemoteIdentity Identity::Described(const firmware::Images& images) const {
  return {{reply[IdentityFlagByteA], reply[IdentityFlagByteB], reply[IdentityPathByteA],
           reply[IdentityPathByteB]},
          Echoed(),
          CallsForLoader(images) ? UpdatePath::Loader : UpdatePath::Direct,
          HeaderFlag(images)};
}

Connection Connect(const Run& run) {
  const link::OpenResult opened = run.link.OpenDevice();
  if (!opened.open) {
    return EndRun(run, Outcome::NoRemote, opened.cause);
  }
  run.observer.Found(run.link.DevicePath());
  run.observer.PhaseStarted(Phase::Probe);
  const std::array<std::uint8_t, 1> probe{ProbeCommand};
  if (!WriteFrame(run.link, probe)) {
    return EndRun(run, Outcome::WriteFailed);
  }
  // A read that times out or fails is no failure of the probe; one that
  // completes with nothing, or with another byte, is.
  std::array<std::uint8_t, 1> ack{};
  const link::PipeResult read = run.link.ReadPipe(ack, ProbeReplyTimeoutMs);
  if (read.NothingRead() || (read.Delivered() && ack[0] != ProbeAck)) {
    return EndRun(run, Outcome::ProbeFailed);
  }
  run.observer.PhaseStarted(Phase::Identity);
  if (!WriteFrame(run.link, IdentityRequest())) {
    return EndRun(run, Outcome::WriteFailed);
  }
  Identity identity;
  identity.read = run.link.ReadPipe(identity.reply, IdentityReplyTimeoutMs);
  if (identity.read.Delivered()) {
    run.observer.IdentityRead(identity.Described(run.images));
  }
  return identity;
}

RunResult EndRun(const Run& run, Outcome outcome, link::Cause cause) {
  const Ending& ending = EndingOf(outcome);
  run.observer.PhaseStarted(Phase::End);
  run.link.CloseDevice();
  run.window.SetStatusText(ending.text);
  if (outcome == Outcome::Completed) {
    run.window.SetProgressValue(0);
  }
  if (ending.window == WindowAfter::Closes) {
    run.window.CloseWindow();
  }
  return {outcome, std::move(cause)};
}

std::optional<RunResult> FinishImage(const Run& run, TransferResult result, Outcome onNoReply,
                                     std::uint8_t endMarkerSecond) {
  switch (result) {
    case TransferResult::WriteFailed:
      return EndRun(run, Outcome::WriteFailed);
    case TransferResult::NoReply:
      return EndRun(run, onNoReply);
    case TransferResult::Completed:
      break;
  }
  if (!WriteFrame(run.link, EndFrame(endMarkerSecond))) {
    return EndRun(run, Outcome::WriteFailed);
  }
  return std::nullopt;
}

}  // namespace corvane::protocol
