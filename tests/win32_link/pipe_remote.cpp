#include "pipe_remote.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <memory>
#include <optional>

#include "link/device_link.h"

namespace corvane::win32_test {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Room for the largest frame, a block of 4096 bytes with header and sum.
constexpr DWORD FrameRoom = 8192;
// Listening instances kept ready, so that the link never finds every
// instance busy while this thread is between two rounds.
constexpr int SpareInstances = 2;
// How often a remote whose reads come back empty lets one come back.
constexpr milliseconds EmptyReadPace{5};

// One server end of a pipe file: listening, then connected to one client
// handle of the link until that handle is closed.
struct Instance {
  HANDLE pipe = INVALID_HANDLE_VALUE;  // a real pipe in every listed instance
  HANDLE event = nullptr;
  OVERLAPPED io{};  // the pending connect or reply write
  bool pending = false;
  bool connected = false;
  bool carriesReply = false;  // the pending write is the front reply
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

}  // namespace

class PipeServer {
 public:
  PipeServer(sim::SimRemote& remote, const std::string& path, std::atomic<bool>& present,
             std::vector<std::vector<std::uint8_t>>& frames, std::vector<std::string>& unmapped)
      : remote_(remote),
        frameName_(path + std::string(link::WritePipeSuffix)),
        replyName_(path + std::string(link::ReadPipeSuffix)),
        present_(present),
        frames_(frames),
        unmapped_(unmapped) {}
  ~PipeServer() { Unplug(); }

  // The pipe files exist before the remote counts as present, so that a link
  // that sees it present can open them.
  void Plug() {
    Listen(frameInstances_, false);
    Listen(replyInstances_, true);
    present_ = true;
  }

  void Unplug() {
    for (Instances* instances : {&frameInstances_, &replyInstances_}) {
      for (auto& instance : *instances) {
        Close(*instance);
      }
      instances->clear();
    }
    present_ = false;
    replies_.clear();
  }

  // One round: connections, frames in, replies out, and the return after a
  // restart.
  void Step() {
    if (!present_) {
      if (returnsAt_ && Clock::now() >= *returnsAt_) {
        returnsAt_.reset();
        Plug();
        remote_.Restarted();
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
  struct Reply {
    Clock::time_point readyAt;
    std::vector<std::uint8_t> bytes;
  };

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
      if (available == 0) {
        continue;
      }
      frame.resize(peeked);
      const sim::WriteBehaviour behaviour = remote_.WriteBehaviourFor(remote_.Describe(frame));
      if (behaviour.fault == sim::WriteFault::Stalls) {
        continue;
      }
      if (behaviour.fault != sim::WriteFault::None) {
        unmapped_.push_back("a write fault other than a stall");
      }
      std::vector<std::uint8_t> taken(FrameRoom);
      OVERLAPPED read{};
      read.hEvent = instance.event;
      DWORD count = 0;
      if (!ReadFile(instance.pipe, taken.data(), FrameRoom, nullptr, &read) &&
          GetLastError() != ERROR_IO_PENDING) {
        continue;
      }
      if (!GetOverlappedResult(instance.pipe, &read, &count, TRUE)) {
        continue;
      }
      taken.resize(count);
      Deliver(taken);
    }
  }

  // What SimPlatform does with an answer, on the real clock.
  void Deliver(const std::vector<std::uint8_t>& frame) {
    const auto writtenAt = Clock::now();
    frames_.push_back(frame);
    const sim::Answer answer = remote_.Take(frame);
    mode_ = answer.mode;
    if (mode_ == sim::ReadMode::WaitFails) {
      unmapped_.push_back("reads whose wait fails");
    }
    if (answer.reply) {
      replies_.push_back({writtenAt + milliseconds(answer.delayMs), *answer.reply});
    }
    if (answer.presence != sim::Presence::Stays) {
      Unplug();
      const auto& delay = remote_.restartDelayMs;
      if (answer.presence == sim::Presence::Restarts && delay) {
        returnsAt_ = writtenAt + milliseconds(*delay);
      }
    }
  }

  // Replies go to the newest client handle on the reply pipe: the link opens
  // one for every read, beside the one it holds while connected. A reply is
  // taken off the queue only when a read took it.
  void SendReplies() {
    Instance* newest = nullptr;
    for (std::size_t i = 0; i < replyInstances_.size();) {
      Instance& instance = *replyInstances_[i];
      if (instance.connected && Collect(instance, false) && instance.carriesReply) {
        replies_.pop_front();
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
          replies_.pop_front();
        }
      }
    }
    if (newest == nullptr || newest->pending) {
      return;
    }
    const auto now = Clock::now();
    if (!replies_.empty()) {
      if (replies_.front().readyAt <= now) {
        Offer(*newest, replies_.front().bytes, true);
      }
    } else if (mode_ == sim::ReadMode::Empty && now >= nextEmptyAt_) {
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

  sim::SimRemote& remote_;
  std::string frameName_;
  std::string replyName_;
  std::atomic<bool>& present_;
  std::vector<std::vector<std::uint8_t>>& frames_;
  std::vector<std::string>& unmapped_;
  Instances frameInstances_;
  Instances replyInstances_;
  std::uint64_t connections_ = 0;
  std::deque<Reply> replies_;
  sim::ReadMode mode_ = sim::ReadMode::Replies;
  Clock::time_point nextEmptyAt_{};
  std::optional<Clock::time_point> returnsAt_;
};

namespace {

std::string UniquePath() {
  static std::atomic<int> served{0};
  return "\\\\.\\pipe\\corvane-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++served) + "#vid_ec4b&pid_7a10#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}";
}

}  // namespace

PipeRemote::PipeRemote(sim::SimRemote& remote, bool present)
    : path_(UniquePath()),
      server_(std::make_unique<PipeServer>(remote, path_, present_, frames_, unmapped_)) {
  // The pipe files exist before the link can look for them.
  if (present) {
    server_->Plug();
  }
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
