// The device link: discovery of the remote and timed transfers on the two
// pipe files of its driver, as one object per connection over a backend.
// Each link is used from one thread at a time; links over different
// backends run side by side.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/backend.h"
#include "link/stop_token.h"

namespace corvane::link {

// The remote's driver interface class and the texts its path must carry.
inline constexpr Guid InterfaceClass{
    0x5B3E29A1, 0x7C44, 0x4D0E, {0xA1, 0xF2, 0x36, 0xC8, 0xD9, 0x0B, 0x7E, 0x15}};
inline constexpr std::string_view VendorToken = "VID_EC4B";
inline constexpr std::string_view ProductToken = "PID_7A10";

// A GUID as paths carry it: 36 upper-case hex digits and hyphens.
constexpr std::array<char, 36> GuidText(const Guid& guid) {
  std::array<char, 36> text{};
  std::size_t at = 0;
  const auto put = [&](std::uint64_t value, int digits) {
    for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) {
      text[at++] = "0123456789ABCDEF"[(value >> shift) & 0xF];
    }
  };
  put(guid.Data1, 8);
  text[at++] = '-';
  put(guid.Data2, 4);
  text[at++] = '-';
  put(guid.Data3, 4);
  text[at++] = '-';
  for (std::size_t i = 0; i < guid.Data4.size(); ++i) {
    if (i == 2) {
      text[at++] = '-';
    }
    put(guid.Data4[i], 2);
  }
  return text;
}

inline constexpr std::array<char, 36> ClassTokenText = GuidText(InterfaceClass);
inline constexpr std::string_view ClassToken{ClassTokenText.data(), ClassTokenText.size()};

// Pipe files below the interface path.
inline constexpr std::string_view WritePipeSuffix = "\\PIPE00";
inline constexpr std::string_view ReadPipeSuffix = "\\PIPE01";

// Whether a path carries the three texts of the remote, in any case.
bool IsRemotePath(std::string_view path);
// What tells one remote from another: the instance part of its interface
// path (the third of its #-separated parts; on Linux the bus and port path,
// 1-1.4), upper-cased. It stays when a remote restarts at the same place.
std::string RemoteId(std::string_view path);

// Whether the remote at `path` goes by `name`, in any case: its id, or the
// USB serial number it reports. Only the remote's own are compared, so one
// remote's serial number never picks another.
bool GoesBy(Backend& backend, std::string_view path, std::string_view name);

struct ListedRemote {
  std::string id;
  std::string serial;       // its USB serial number; empty where it has none
  std::string path;         // as the system reports it
  std::string description;  // what the system says of it

  // Whether it goes by `name`, in any case: its id or its serial number.
  bool GoesBy(std::string_view name) const;
};
// The remotes present now, in the system's order.
std::vector<ListedRemote> ListRemotes(Backend& backend);
// The text before its first NUL; all of it when it has none.
std::string CutAtNul(std::string_view text);

struct OpenResult {
  bool open = false;
  // Why not: the remote absent (None, or why the system lists it without an
  // interface), or why it would not open.
  Cause cause;
};

enum class PipeStatus {
  Completed,     // the last try saw the transfer end; count says what it moved
  NotAttempted,  // no count, no connection, or the transfer file would not open
  TimedOut,      // the last try's wait timed out
  Failed,        // the last try's wait failed, or the link was stopped
};

struct PipeResult {
  PipeStatus status = PipeStatus::NotAttempted;
  // Bytes moved. A read copies them only when they fit: a longer reply
  // gives its count and leaves the buffer as it was.
  std::uint32_t count = 0;
  Cause cause;

  // A read that brought at least one byte.
  bool Delivered() const { return status == PipeStatus::Completed && count > 0; }
  // A read that brought nothing, or was not attempted: not a time-out or
  // failure.
  bool NothingRead() const {
    return status == PipeStatus::NotAttempted || (status == PipeStatus::Completed && count == 0);
  }
};

class DeviceLink {
 public:
  // Over `backend`, which must outlive the link. A stop requested through
  // `stop` ends waits and pauses early and fails what follows. With a
  // remote id (or serial number), only the remote that goes by it is found,
  // and from then on only a remote at its place.
  explicit DeviceLink(Backend& backend, StopToken stop = {}, std::string remoteId = {});
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // The connected remote's interface path in upper case; empty when none.
  const std::string& DevicePath() const { return devicePath_; }

  // The first present interface of the remote's class whose path carries
  // the three texts (and goes by the link's remote id, if it has one), upper-cased
  // and cut at NUL, also stored in DevicePath; empty when none does. No
  // later interface is looked at.
  std::string FindDevicePath();
  // Finds the remote and opens both pipe files; releases whatever was held
  // before.
  OpenResult OpenDevice();
  // Releases whatever the link holds; harmless on a closed link.
  void CloseDevice();
  // One timed write of the whole span to PIPE00.
  PipeResult WritePipe(std::span<const std::uint8_t> bytes, std::int32_t timeout);
  // One timed read from PIPE01 of at most buffer.size() bytes.
  PipeResult ReadPipe(std::span<std::uint8_t> buffer, std::int32_t timeout);

  // The backend's 32-bit millisecond tick count.
  std::uint32_t TickCount();
  // Lets `ms` pass without using the processor; ends early when stopped.
  void Pause(std::uint32_t ms);
  bool Stopped() const { return stop_.stop_requested(); }

  // Shown every write and read as it ends: the bytes written, or those read
  // (all that fit), and the result.
  enum class Direction { Write, Read };
  using Trace = std::function<void(Direction direction, std::span<const std::uint8_t> bytes,
                                   const PipeResult& result)>;
  void SetTrace(Trace trace) { trace_ = std::move(trace); }

 private:
  struct Try;
  template <typename Start, typename Succeeded>
  Try TimedTransfer(Handle file, std::int32_t timeout, Start start, Succeeded succeeded);
  WaitResult WaitWatchingStop(Handle file, std::uint32_t timeoutMs);
  Opened OpenPipeFile(Pipe pipe, PipeUse use);
  void CloseIfOpen(Handle& file);

  Backend& backend_;
  StopToken stop_;
  std::string remoteId_;
  Trace trace_;
  std::string devicePath_;
  // Held from OpenDevice to CloseDevice; each transfer opens a file of its
  // own for the length of its call.
  Handle readPipeHandle_ = InvalidHandle;
  Handle writePipeHandle_ = InvalidHandle;
};

}  // namespace corvane::link
