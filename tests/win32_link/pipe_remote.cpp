#include "pipe_remote.h"

#include <windows.h>

#include <algorithm>

#include "link/device_link.h"

namespace corvane::win32_test {
namespace {

// Room for the largest frame, a block of 4096 bytes with header and sum.
constexpr DWORD FrameRoom = 8192;
// Listening instances kept ready, so that the link never finds every
// instance busy while the server is between two rounds.
constexpr int SpareInstances = 2;
// How often a remote whose reads come back empty lets one come back.
constexpr sim::Millis EmptyReadPace = 5;

std::string UniquePath() {
  static std::atomic<int> served{0};
  return "\\\\.\\pipe\\corvane-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(++served) + "#vid_ec4b&pid_7a10#{5b3e29a1-7c44-4d0e-a1f2-36c8d90b7e15}";
}

}  // namespace

// One server end of a pipe file: listening, then connected to one client
// handle of the link until that handle is closed.
struct PipeRemote::Instance {
  explicit Instance(HANDLE file) : pipe(file) {
    io.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  }
  ~Instance() {
    CancelIoEx(pipe, &io);
    Collect(true);
    CloseHandle(pipe);
    CloseHandle(io.hEvent);
  }
  void Started(BOOL started) { pending = started || GetLastError() == ERROR_IO_PENDING; }
  // Ends the pending connect or write, waiting for it when `wait`; whether
  // it succeeded.
  bool Collect(bool wait) {
    if (!pending || (!wait && !HasOverlappedIoCompleted(&io))) {
      return false;
    }
    pending = false;
    DWORD count = 0;
    return GetOverlappedResult(pipe, &io, &count, wait) != FALSE;
  }
  bool Gone() const {
    DWORD available = 0;
    return connected && !pending && !PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr);
  }

  HANDLE pipe;
  OVERLAPPED io{};
  bool pending = false;
  bool connected = false;
  bool carriesReply = false;  // the pending write is the held reply
  std::vector<std::uint8_t> outgoing;
};

PipeRemote::PipeRemote(sim::SimRemote& remote) : bus_(remote), path_(UniquePath()) {
  Plug();
  thread_ = CreateThread(
      nullptr, 0,
      [](void* self) -> DWORD {
        auto& served = *static_cast<PipeRemote*>(self);
        while (!served.stopping_) {
          served.Step();
          ::Sleep(1);
        }
        return 0;
      },
      this, 0, nullptr);
}

PipeRemote::~PipeRemote() {
  Stop();
}

void PipeRemote::VisitInterfaces(const link::Guid& interfaceClass,
                                 const std::function<bool(std::string_view path)>& visit) {
  if (interfaceClass == link::InterfaceClass && present_) {
    visit(path_);
  }
}

// The serving thread does it, so that it alone touches the pipes and the bus.
void PipeRemote::Unplug() {
  unplugging_ = true;
  while (unplugging_ && thread_ != nullptr) {
    ::Sleep(1);
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
  ClosePipes();
}

// One round: connections, frames in, replies out, and the return after a
// restart or the leaving when pulled out.
void PipeRemote::Step() {
  if (unplugging_) {
    bus_.SetPresent(false);
    ClosePipes();
    unplugging_ = false;
  }
  if (!present_) {
    if (bus_.Present(clock_.Now())) {
      Plug();
    }
    return;
  }
  Plug();
  TakeFrames();
  if (present_) {
    SendReplies();
  }
}

// The pipe files exist before the remote counts as present, so that a link
// that sees it present can open them.
void PipeRemote::Plug() {
  Listen(frames_, false);
  Listen(replies_, true);
  present_ = true;
}

// Takes the connections made and tops up the listening instances. With no
// buffer on either side, a write completes only once the other side has
// read it.
void PipeRemote::Listen(Instances& instances, bool replies) {
  const auto connected = [&](Instance& instance) {
    instance.connected = true;
    newest_ = replies ? &instance : newest_;
  };
  for (const auto& instance : instances) {
    if (!instance->connected && instance->Collect(false)) {
      connected(*instance);
    }
  }
  const std::string name =
      path_ + std::string(replies ? link::ReadPipeSuffix : link::WritePipeSuffix);
  auto listening = std::count_if(instances.begin(), instances.end(),
                                 [](const auto& i) { return !i->connected; });
  for (; listening < SpareInstances; ++listening) {
    const HANDLE pipe = CreateNamedPipeA(
        name.c_str(), (replies ? PIPE_ACCESS_DUPLEX : PIPE_ACCESS_INBOUND) | FILE_FLAG_OVERLAPPED,
        PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE, PIPE_UNLIMITED_INSTANCES, 0, 0, 0, nullptr);
    if (pipe == INVALID_HANDLE_VALUE) {
      return;  // the next round tries again
    }
    Instance& instance = *instances.emplace_back(std::make_unique<Instance>(pipe));
    instance.Started(ConnectNamedPipe(pipe, &instance.io));
    if (!instance.pending && GetLastError() == ERROR_PIPE_CONNECTED) {
      connected(instance);
    }
  }
}

void PipeRemote::ClosePipes() {
  present_ = false;
  newest_ = offered_ = nullptr;
  held_.reset();
  frames_.clear();
  replies_.clear();
}

// Looks at each frame before taking it: a frame whose write must stall is
// left unread, so that the link's write never completes.
void PipeRemote::TakeFrames() {
  std::vector<std::uint8_t> frame(FrameRoom);
  std::erase_if(frames_, [](const auto& i) { return i->Gone(); });
  for (const auto& instance : frames_) {
    DWORD peeked = 0;
    DWORD available = 0;
    if (!instance->connected ||
        !PeekNamedPipe(instance->pipe, frame.data(), FrameRoom, &peeked, &available, nullptr) ||
        available == 0 || bus_.WriteFor({frame.data(), peeked}).fault == sim::WriteFault::Stalls) {
      continue;
    }
    OVERLAPPED read{};
    read.hEvent = instance->io.hEvent;
    DWORD count = 0;
    if ((ReadFile(instance->pipe, frame.data(), FrameRoom, nullptr, &read) ||
         GetLastError() == ERROR_IO_PENDING) &&
        GetOverlappedResult(instance->pipe, &read, &count, TRUE) &&
        bus_.Written({frame.data(), count}, clock_.Now()) != sim::Presence::Stays) {
      ClosePipes();
      return;
    }
  }
}

// Replies go to the reply pipe's newest client: the link opens one for
// every read, beside the one it holds while connected. A reply stays held
// until a read took it, and moves on to a newer client.
void PipeRemote::SendReplies() {
  if (offered_ != nullptr) {
    const bool moves = offered_ != newest_;
    if (moves) {
      CancelIoEx(offered_->pipe, &offered_->io);
    }
    if (offered_->Collect(moves) && offered_->carriesReply) {
      held_.reset();
    }
    offered_ = offered_->pending ? offered_ : nullptr;
  }
  std::erase_if(replies_, [this](const auto& i) {
    const bool gone = i->Gone();
    newest_ = gone && i.get() == newest_ ? nullptr : newest_;
    return gone;
  });
  if (offered_ != nullptr || newest_ == nullptr) {
    return;
  }
  const sim::Millis now = clock_.Now();
  const sim::RemoteOnBus::NextRead next = bus_.Next();
  if (!held_ && next.kind == sim::RemoteOnBus::ReadKind::Reply && next.readyAt <= now) {
    held_ = bus_.TakeReply();
  }
  if (held_) {
    Offer(*held_, true);
  } else if (next.kind == sim::RemoteOnBus::ReadKind::Empty && now >= nextEmptyAt_) {
    Offer({}, false);
    nextEmptyAt_ = now + EmptyReadPace;
  }
}

void PipeRemote::Offer(std::vector<std::uint8_t> message, bool isReply) {
  newest_->outgoing = std::move(message);
  newest_->carriesReply = isReply;
  newest_->Started(WriteFile(newest_->pipe, newest_->outgoing.data(),
                             static_cast<DWORD>(newest_->outgoing.size()), nullptr, &newest_->io));
  offered_ = newest_->pending ? newest_ : nullptr;
}

}  // namespace corvane::win32_test
