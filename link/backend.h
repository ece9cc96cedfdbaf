// What the device link needs of a system, as one small contract.
//
// The link's own rules (its tries, the time rule, the results, one transfer
// file per call, the state between OpenDevice and CloseDevice) are written
// once above this, in DeviceLink; each backend (Win32, libusb, the simulated
// remote) only walks interfaces, opens pipe files and moves bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "link/cause.h"

namespace corvane::link {

// A pipe file as the backend opened it; InvalidHandle marks one as not open.
using Handle = std::intptr_t;
inline constexpr Handle InvalidHandle = -1;

struct Guid {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::array<std::uint8_t, 8> Data4;

  friend bool operator==(const Guid&, const Guid&) = default;
};

// The two pipe files below an interface path: frames go out on PIPE00,
// replies come back on PIPE01.
enum class Pipe { Write, Read };

// What a pipe file is opened for: held while the link is connected, or to
// carry the transfers of one ReadPipe or WritePipe call.
enum class PipeUse { Held, Transfer };

// How a wait for a transfer ended.
enum class WaitResult {
  Ended,     // the transfer ended: completed, failed or found its device gone
  TimedOut,  // the time-out passed first
  Failed,    // the wait itself failed
};

struct Opened {
  Handle file = InvalidHandle;
  Cause cause;  // why not, when file is InvalidHandle
};

// A transfer once it has really ended.
struct Collected {
  bool completed = false;   // it completed, rather than failed or was cancelled
  std::uint32_t count = 0;  // bytes moved; 0 unless completed
  Cause cause;              // why it failed, where the system said
};

class Backend {
 public:
  virtual ~Backend() = default;

  // Shows `visit` the path of each present interface of a device class, in
  // the system's order and as the system reports it (any case; a path may
  // carry a NUL and bytes behind it), until `visit` gives true: then no
  // later interface is looked at.
  virtual void VisitInterfaces(const Guid& interfaceClass,
                               const std::function<bool(std::string_view path)>& visit) = 0;

  // Why the remote with `remoteId` (any remote, when it is empty) has no
  // interface to visit, where the system can tell; asked once a walk found
  // none.
  virtual Cause WhyNotListed(std::string_view /*remoteId*/) { return {}; }

  // What the system says of an interface, for a person choosing among
  // remotes.
  virtual std::string DescribeInterface(std::string_view path) { return std::string(path); }
  // The USB serial number of the device at an interface path the last walk
  // showed; empty where it reports none or it cannot be read.
  virtual std::string SerialNumber(std::string_view /*path*/) { return {}; }
  // Returns once a device may have arrived, at the latest after `ms`.
  virtual void WaitForArrival(std::uint32_t ms) { Sleep(ms); }

  // Opens a pipe file: an interface path followed by \PIPE00 or \PIPE01.
  virtual Opened OpenPipe(const std::string& name, Pipe pipe, PipeUse use) = 0;
  // Closes it; a transfer still pending on it is cancelled and collected
  // first.
  virtual void ClosePipe(Handle file) = 0;

  // Starts one transfer on a handle opened for transfers. The bytes must
  // stay in place until the transfer is collected. A start that fails at
  // once ends the transfer at once, not completed.
  virtual void StartRead(Handle file, std::span<std::byte> into) = 0;
  virtual void StartWrite(Handle file, std::span<const std::byte> from) = 0;
  // Waits at most `timeoutMs` for the transfer on `file` to end.
  virtual WaitResult Wait(Handle file, std::uint32_t timeoutMs) = 0;
  // Cancels the transfer if it is still pending, waits until it has really
  // ended, and gives what it did. A read that received more than `into`
  // holds reports the whole count; `into` then holds only its first bytes.
  virtual Collected CancelAndCollect(Handle file) = 0;

  // Milliseconds since some start, 32 bits wide: it wraps.
  virtual std::uint32_t TickCount() = 0;
  // Lets `ms` milliseconds pass on the same clock, without using the
  // processor.
  virtual void Sleep(std::uint32_t ms) = 0;
};

}  // namespace corvane::link
