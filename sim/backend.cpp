#include "sim/backend.h"

#include <algorithm>

#include "link/device_link.h"
#include "link/text.h"

namespace corvane::sim {

SimBackend::SimBackend(Clock& clock, RemoteOnBus& bus, std::string path)
    : clock_(clock), bus_(bus), path_(std::move(path)) {}

void SimBackend::SetPresent(bool present) {
  bus_.SetPresent(present);
  for (auto& [handle, file] : files_) {
    if (file.transfer && !Live(file)) {
      file.transfer->ended = true;
    }
  }
}

bool SimBackend::Fails(Call call, std::string_view name) const {
  return faults.fails && faults.fails(call, name);
}

bool SimBackend::Live(const File& file) {
  return bus_.Present(clock_.Now()) && bus_.Generation() == file.generation;
}

void SimBackend::VisitInterfaces(const link::Guid& interfaceClass,
                                 const std::function<bool(std::string_view path)>& visit) {
  if (interfaceClass != link::InterfaceClass || Fails(Call::List, {})) {
    return;
  }
  std::vector<std::string_view> listed(listedBefore.begin(), listedBefore.end());
  if (bus_.Present(clock_.Now())) {
    listed.push_back(path_);
  }
  listed.insert(listed.end(), listedAfter.begin(), listedAfter.end());
  for (const std::string_view path : listed) {
    ++interfacesShown_;
    if (visit(path)) {
      return;
    }
  }
}

std::string SimBackend::SerialNumber(std::string_view path) {
  return link::SameTextIgnoringCase(path, path_) ? bus_.remote().serialNumber : std::string();
}

link::Opened SimBackend::OpenPipe(const std::string& name, link::Pipe pipe, link::PipeUse use) {
  ++opens_;
  const std::string_view suffix =
      pipe == link::Pipe::Read ? link::ReadPipeSuffix : link::WritePipeSuffix;
  if (Fails(Call::Open, name)) {
    return {link::InvalidHandle, faults.refusal};
  }
  if (!bus_.Present(clock_.Now()) ||
      !link::SameTextIgnoringCase(name, path_ + std::string(suffix))) {
    return {link::InvalidHandle, {link::CauseKind::DeviceGone, 2, "no such file"}};
  }
  files_.emplace(nextHandle_, File{name, pipe, use, bus_.Generation(), false, std::nullopt});
  return {nextHandle_++, {}};
}

void SimBackend::ClosePipe(link::Handle file) {
  if (Find(file, "ClosePipe") != nullptr) {
    CancelAndCollect(file);
    files_.erase(file);
  }
}

SimBackend::File* SimBackend::Find(link::Handle file, std::string_view call) {
  const auto found = files_.find(file);
  if (found == files_.end()) {
    Misuse(std::string(call) + " on a handle not open");
    return nullptr;
  }
  return &found->second;
}

SimBackend::Transfer* SimBackend::Begin(link::Handle file, link::Pipe pipe, std::string_view call) {
  File* open = Find(file, call);
  if (open == nullptr) {
    return nullptr;
  }
  if (open->use != link::PipeUse::Transfer || open->pipe != pipe) {
    Misuse(std::string(call) + " on " + open->name + ", not opened for it");
  }
  if (open->transfer) {
    Misuse(std::string(call) + " while another transfer is pending");
  }
  // Assigned, not emplaced: clang cannot yet see Transfer's member
  // initialisers where optional::emplace asks whether it is constructible.
  open->transfer = Transfer{};
  if (!Live(*open) ||
      Fails(pipe == link::Pipe::Read ? Call::StartRead : Call::StartWrite, open->name)) {
    open->transfer->ended = true;  // fails at once
  }
  return &*open->transfer;
}

void SimBackend::StartRead(link::Handle file, std::span<std::byte> into) {
  ++readsStarted_;
  Transfer* transfer = Begin(file, link::Pipe::Read, "StartRead");
  if (transfer == nullptr || transfer->ended) {
    return;
  }
  transfer->isRead = true;
  transfer->into = into;
  const RemoteOnBus::NextRead next = bus_.Next();
  switch (next.kind) {
    case RemoteOnBus::ReadKind::Reply:
      transfer->completesAt = std::max(clock_.Now(), next.readyAt);
      break;
    case RemoteOnBus::ReadKind::Empty:
      transfer->completesAt = clock_.Now() + timing.emptyReadLatencyMs;
      break;
    case RemoteOnBus::ReadKind::Fails:
      transfer->waitFails = true;
      break;
    case RemoteOnBus::ReadKind::Pending:
      break;
  }
}

void SimBackend::StartWrite(link::Handle file, std::span<const std::byte> from) {
  const std::span<const std::uint8_t> frame(reinterpret_cast<const std::uint8_t*>(from.data()),
                                            from.size());
  File* open = Find(file, "StartWrite");
  if (open != nullptr && onWriteCall && !open->writeTraced) {
    onWriteCall(frame);
    open->writeTraced = true;
  }
  Transfer* transfer = Begin(file, link::Pipe::Write, "StartWrite");
  if (transfer == nullptr || transfer->ended) {
    return;
  }
  transfer->frame = frame;
  const WriteBehaviour behaviour = bus_.WriteFor(frame);
  const auto count = static_cast<std::uint32_t>(frame.size());
  switch (behaviour.fault) {
    case WriteFault::None:
    case WriteFault::Short:
      transfer->transferred = count - std::min(behaviour.shortBy, count);
      transfer->completesAt = clock_.Now() + timing.writeLatencyMs;
      break;
    case WriteFault::Stalls:
      break;
    case WriteFault::WaitFails:
      transfer->waitFails = true;
      break;
  }
}

link::WaitResult SimBackend::Wait(link::Handle file, std::uint32_t timeoutMs) {
  ++waits_;
  File* open = Find(file, "Wait");
  if (open == nullptr || !open->transfer) {
    Misuse("Wait with no transfer started");
    return link::WaitResult::Failed;
  }
  Transfer& transfer = *open->transfer;
  if (Fails(Call::Wait, open->name) || (!transfer.ended && transfer.waitFails)) {
    return link::WaitResult::Failed;
  }
  if (transfer.ended) {
    return link::WaitResult::Ended;
  }
  const Millis deadline = clock_.Now() + timeoutMs;
  if (transfer.completesAt > deadline) {
    clock_.WaitUntil(deadline);
    return link::WaitResult::TimedOut;
  }
  clock_.WaitUntil(transfer.completesAt);
  Complete(*open, transfer);
  if (faults.timeOutOnCompletion) {
    clock_.WaitUntil(deadline);
    return link::WaitResult::TimedOut;
  }
  return link::WaitResult::Ended;
}

link::Collected SimBackend::CancelAndCollect(link::Handle file) {
  File* open = Find(file, "CancelAndCollect");
  if (open == nullptr || !open->transfer) {
    return {};
  }
  Transfer& transfer = *open->transfer;
  // One that finished before the cancel reached it is collected whole.
  if (!transfer.ended && transfer.completesAt <= clock_.Now()) {
    Complete(*open, transfer);
  }
  link::Collected collected{transfer.completed, transfer.completed ? transfer.transferred : 0, {}};
  if (!transfer.completed && !Live(*open)) {
    collected.cause = {link::CauseKind::DeviceGone, 19, "no such device"};
  }
  open->transfer.reset();
  return collected;
}

void SimBackend::Complete(File& file, Transfer& transfer) {
  transfer.ended = true;
  if (!Live(file)) {
    return;
  }
  transfer.completed = true;
  if (!transfer.isRead) {
    // The remote takes the frame only once its write has completed.
    bus_.Written(transfer.frame.first(transfer.transferred), transfer.completesAt);
    return;
  }
  transfer.transferred = 0;
  const RemoteOnBus::NextRead next = bus_.Next();
  if (next.kind == RemoteOnBus::ReadKind::Reply && next.readyAt <= clock_.Now()) {
    const std::vector<std::uint8_t> reply = bus_.TakeReply();
    transfer.transferred = static_cast<std::uint32_t>(reply.size());
    std::copy_n(reply.begin(), std::min(reply.size(), transfer.into.size()),
                reinterpret_cast<std::uint8_t*>(transfer.into.data()));
  }
}

void SimBackend::Misuse(std::string what) {
  misuses_.push_back(std::move(what));
}

}  // namespace corvane::sim
