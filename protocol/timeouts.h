// Every wait of the update protocol, in milliseconds.
#pragma once

#include <cstdint>

namespace corvane::protocol {

inline constexpr std::int32_t WriteTimeoutMs = 200;
inline constexpr std::int32_t ProbeReplyTimeoutMs = 2000;
inline constexpr std::int32_t BlockReplyTimeoutMs = 2000;
inline constexpr std::int32_t IdentityReplyTimeoutMs = 1000;
// Time the remote is given to restart after it took the loader image.
inline constexpr std::int32_t LoaderRestartDelayMs = 8000;

}  // namespace corvane::protocol
