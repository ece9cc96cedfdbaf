// The device link: discovery of the remote and timed transfers on the two
// pipe files of its driver. One module-wide connection, used from one thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "link/backend.h"

namespace corvane::link {

// The remote's driver interface class and the texts its path must carry.
inline constexpr Guid InterfaceClass{
    0x5B3E29A1, 0x7C44, 0x4D0E, {0xA1, 0xF2, 0x36, 0xC8, 0xD9, 0x0B, 0x7E, 0x15}};
inline constexpr std::string_view VendorToken = "VID_EC4B";
inline constexpr std::string_view ProductToken = "PID_7A10";
inline constexpr std::string_view ClassToken = "5B3E29A1-7C44-4D0E-A1F2-36C8D90B7E15";

// Pipe files below the interface path.
inline constexpr std::string_view WritePipeSuffix = "\\PIPE00";
inline constexpr std::string_view ReadPipeSuffix = "\\PIPE01";

// Results of ReadPipe and WritePipe beside a count or 1.
inline constexpr std::int32_t TransferTimedOut = -1;
inline constexpr std::int32_t TransferFailed = -2;

// Points the link at a backend for as long as this object lives; at its end
// the link is closed and forgets the backend, so nothing is left pointing at
// a backend that is gone.
class [[nodiscard]] BackendInUse {
 public:
  explicit BackendInUse(Backend& backend);
  ~BackendInUse();
  BackendInUse(const BackendInUse&) = delete;
  BackendInUse& operator=(const BackendInUse&) = delete;

 private:
  Backend* previous_;
};

// The connected remote's interface path in upper case; empty when none.
const std::string& DevicePath();

// The first of `paths` that carries the three tokens, upper-cased and cut at
// NUL; empty when none does.
std::string FirstRemotePath(const std::vector<std::string>& paths);
// FirstRemotePath of the present interfaces of the remote's class, also
// stored in DevicePath.
std::string FindDevicePath();
std::string CutAtNul(std::string_view text);

// 1 when the remote was found and both pipe files are open, else 0.
std::int32_t OpenDevice();
// Releases whatever the link holds; harmless on a closed link.
void CloseDevice();
// 1 when the last try saw the write end (countWritten then holds the count
// written), -1 on a time-out, -2 on another failure, 0 when no write was
// attempted.
std::int32_t WritePipe(const std::uint8_t* buffer, std::int32_t count, std::int32_t* countWritten,
                       std::int32_t timeout);
// The count read, 0 when nothing was read, -1 on a time-out, -2 on another
// failure. The buffer is written only for a count from 1 to `count`; a
// longer reply gives its count and is not copied.
std::int32_t ReadPipe(std::uint8_t* buffer, std::int32_t count, std::int32_t timeout);

// The backend's 32-bit millisecond tick count.
std::uint32_t TickCount();

}  // namespace corvane::link
