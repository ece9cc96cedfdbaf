#include "pipe_remote.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "link/device_link.h"
#include "sim/clock.h"
#include "sim/remote_on_bus.h"

namespace corvane::win32_test {
namespace {

// Room for the largest frame, a block of 4096 bytes with header and sum.
constexpr DWORD FrameRoom = 8192;
// Listening instances kept ready, so that the link never finds every
// instance busy while this thread is between two rounds.
constexpr int SpareInstances = 2;
// How often a remote whose reads come back empty lets one come back.
constexpr sim::Millis EmptyReadPace = 5;

// One server end of a pipe file: listening, then connected to one client
// handle of the link until that handle is closed.
struct Instance {
  HANDLE pipe = INVALID_HANDLE_VALUE;
  HANDLE event = nullptr;
  OVERLAPPED io{};  // the pending connect or reply write
  bool pending = false;
  bool connected = false;
  bool carriesReply = false;  // the pending write is the held reply
  std::uint64_t order = 0;    // connections counted from 1
  std::vector<std::uint8_t> outgoing;
};

using Instances = std::vector<std::unique_ptr<Instance>>;

// Collects the instance's pending operation, waiting for it when `wait`;
// false when it failed or is still pending.
bool Collect(Instance& instance, bool wait) {
  if (!instance.pending || (!wait && !HasOverlappedIoCompleted(&instance.io))) {
    return false;
  }
  DWORD count = 0;
  const BOOL done = GetOverlappedResult(instance.pipe, &instance.io, &count, wait ? TRUE : FALSE);
  instance.pending = false;
  return done != FALSE;
}

void Close(Instance& instance) {
  if (instance.pending) {
    CancelIoEx(instance.pipe, &instance.io);
    Collect(instance, true);
  }
  CloseHandle(instance.pipe);
  CloseHandle(instance.event);
}

class Exclusive {
 public:
  explicit Exclusive(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ~Exclusive() { ReleaseSRWLockExclusive(&lock_); }
  Exclusive(const Exclusive&) = delete;
  Exclusive& operator=(const Exclusive&) = delete;

 private:
  SRWLOCK& lock_;
};

}  // namespace

// The pipes' side of the bus; what the remote does with a frame, and when
// its replies are ready, is RemoteOnBus's.
class PipeServer {
 public:
  PipeServer(sim::SimRemote& remote, const std::string& path, std::atomic<bool>& present)
      : bus_(remote),
        frameName_(path + std::string(link::WritePipeSuffix)),
        replyName_(path + std::string(link::ReadPipeSuffix)),
        present_(present) {
    Plug();
  }
  ~PipeServer() { ClosePipes(); }

  void Unplug() {
    Exclusive locked(lock_);
    bus_.SetPresent(false);
    ClosePipes();
  }

  // One round: connections, frames in, replies out, and the return after a
  // restart.
  void Step() {
    Exclusive locked(lock_);
    if (!present_) {
      if (bus_.Present(clock_.Now())) {
        Plug();
      }
      return;
    }
    Accept(frameInstances_);
    Accept(replyInstances_);
    Listen(frameInstances_, false);
    Listen(replyInstances_, true);
    TakeFrames();
    if (present_) {
      SendReplies();
    }
  }

 private:
  // The pipe files exist before the remote counts as present, so that a link
  // that sees it present can open them.
  void Plug() {
    Listen(frameInstances_, false);
    Listen(replyInstances_, true);
    present_ = true;
  }

  void ClosePipes() {
    for (Instances* instances : {&frameInstances_, &replyInstances_}) {
      for (auto& instance : *instances) {
        Close(*instance);
      }
      instances->clear();
    }
    present_ = false;
    held_.reset();
  }

  // Tops up the listening instances. With no buffer on either side, a write
  // completes only once the other side has read it.
  void Listen(Instances& instances, bool replies) {
    const auto listening = std::count_if(instances.begin(), instances.end(),
                                         [](const auto& i) { return !i->connected; });
    for (auto n = listening; n < SpareInstances; ++n) {
      const DWORD access = replies ? PIPE_ACCESS_DUPLEX : PIPE_ACCESS_INBOUND;
      HANDLE pipe = CreateNamedPipeA((replies ? replyName_ : frameName_).c_str(),
                                     access | FILE_FLAG_OVERLAPPED,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT,
                                     PIPE_UNLIMITED_INSTANCES, 0, 0, 0, nullptr);
      // An instance that could not be made is not kept, so that it never
      // counts as listening; the next round tries again.
      if (pipe == INVALID_HANDLE_VALUE) {
        break;
      }
      auto instance = std::make_unique<Instance>();
      instance->pipe = pipe;
      instance->event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
      instance->io.hEvent = instance->event;
      if (ConnectNamedPipe(instance->pipe, &instance->io)) {
        instance->connected = true;
      } else if (GetLastError() == ERROR_IO_PENDING) {
        instance->pending = true;
      } else if (GetLastError() == ERROR_PIPE_CONNECTED) {
        instance->connected = true;
      }
      if (instance->connected) {
        instance->order = ++connections_;
      }
      instances.push_back(std::move(instance));
    }
  }

  void Accept(Instances& instances) {
    for (auto& instance : instances) {
      if (!instance->connected && Collect(*instance, false)) {
        instance->connected = true;
        instance->order = ++connections_;
      }
    }
  }

  void Remove(Instances& instances, std::size_t index) {
    Close(*instances[index]);
    instances.erase(instances.begin() + static_cast<std::ptrdiff_t>(index));
  }

  static bool Broken(const Instance& instance) {
    DWORD available = 0;
    return !PeekNamedPipe(instance.pipe, nullptr, 0, nullptr, &available, nullptr);
  }

  // Looks at each frame before taking it: a frame whose write must stall is
  // left unread, so that the link's write never completes.
  void TakeFrames() {
    for (std::size_t i = 0; i < frameInstances_.size() && present_;) {
      Instance& instance = *frameInstances_[i];
      if (!instance.connected) {
        ++i;
        continue;
      }
      std::vector<std::uint8_t> frame(FrameRoom);
      DWORD peeked = 0;
      DWORD available = 0;
      if (!PeekNamedPipe(instance.pipe, frame.data(), FrameRoom, &peeked, &available, nullptr)) {
        Remove(frameInstances_, i);
        continue;
      }
      ++i;
      frame.resize(peeked);
      if (available == 0 || bus_.WriteFor(frame).fault == sim::WriteFault::Stalls) {
        continue;
      }
      OVERLAPPED read{};
      read.hEvent = instance.event;
      DWORD count = 0;
      frame.resize(FrameRoom);
      if (!ReadFile(instance.pipe, frame.data(), FrameRoom, nullptr, &read) &&
          GetLastError() != ERROR_IO_PENDING) {
        continue;
      }
      if (!GetOverlappedResult(instance.pipe, &read, &count, TRUE)) {
        continue;
      }
      frame.resize(count);
      if (bus_.Written(frame, clock_.Now()) != sim::Presence::Stays) {
        ClosePipes();
      }
    }
  }

  // Replies go to the newest client handle on the reply pipe: the link opens
  // one for every read, beside the one it holds while connected. A reply
  // stays held until a read took it.
  void SendReplies() {
    Instance* newest = nullptr;
    for (std::size_t i = 0; i < replyInstances_.size();) {
      Instance& instance = *replyInstances_[i];
      if (instance.connected && Collect(instance, false) && instance.carriesReply) {
        held_.reset();
      }
      if (instance.connected && !instance.pending && Broken(instance)) {
        Remove(replyInstances_, i);
        continue;
      }
      if (instance.connected && (newest == nullptr || instance.order > newest->order)) {
        newest = &instance;
      }
      ++i;
    }
    for (auto& instance : replyInstances_) {
      // A reply offered to an older handle moves to the newest one.
      if (instance.get() != newest && instance->connected && instance->pending) {
        CancelIoEx(instance->pipe, &instance->io);
        if (Collect(*instance, true) && instance->carriesReply) {
          held_.reset();
        }
      }
    }
    if (newest == nullptr || newest->pending) {
      return;
    }
    const sim::Millis now = clock_.Now();
    const sim::RemoteOnBus::NextRead next = bus_.Next();
    if (!held_ && next.kind == sim::RemoteOnBus::ReadKind::Reply && next.readyAt <= now) {
      held_ = bus_.TakeReply();
    }
    if (held_) {
      Offer(*newest, *held_, true);
    } else if (next.kind == sim::RemoteOnBus::ReadKind::Empty && now >= nextEmptyAt_) {
      Offer(*newest, {}, false);
      nextEmptyAt_ = now + EmptyReadPace;
    }
  }

  void Offer(Instance& instance, std::vector<std::uint8_t> message, bool isReply) {
    instance.outgoing = std::move(message);
    instance.carriesReply = isReply;
    const BOOL written =
        WriteFile(instance.pipe, instance.outgoing.data(),
                  static_cast<DWORD>(instance.outgoing.size()), nullptr, &instance.io);
    instance.pending = written || GetLastError() == ERROR_IO_PENDING;
  }

  SRWLOCK lock_ = SRWLOCK_INIT;
  sim::RealClock clock_;
  sim::RemoteOnBus bus_;
  std::string frameName_;
  std::string replyName_;
  std::atomic<bool>& present_;
  Instances frameInstances_;
  Instances replyInstances_;
  std::uint64_t connections_ = 0;
  std::optional<std::vector<std::uint8_t>> held_;  // taken off the bus, not yet read
  sim::Millis nextEmptyAt_ = 0;
};

namespace {

std::string UniquePath() {
  static std::atomic<int> served{0};
  return "\\\\.\\pipe\\corvane-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++served) + "#vid_ec4b&pid_7a10#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}";
}

}  // namespace

PipeRemote::PipeRemote(sim::SimRemote& remote)
    : path_(UniquePath()), server_(std::make_unique<PipeServer>(remote, path_, present_)) {
  thread_ = CreateThread(nullptr, 0, Serve, this, 0, nullptr);
}

PipeRemote::~PipeRemote() {
  Stop();
}

unsigned long __stdcall PipeRemote::Serve(void* self) {
  auto& remote = *static_cast<PipeRemote*>(self);
  while (!remote.stopping_) {
    remote.server_->Step();
    Sleep(1);
  }
  return 0;
}

void PipeRemote::Unplug() {
  if (server_) {
    server_->Unplug();
  }
}

void PipeRemote::Stop() {
  if (thread_ == nullptr) {
    return;
  }
  stopping_ = true;
  WaitForSingleObject(thread_, INFINITE);
  CloseHandle(thread_);
  thread_ = nullptr;
  server_.reset();
}

}  // namespace corvane::win32_test
