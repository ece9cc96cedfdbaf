// The texts an update run shows in the status line.
#pragma once

#include <string_view>

namespace corvane::protocol {

inline constexpr std::string_view NoDeviceText = "no usb device";
inline constexpr std::string_view ProbeFailedText =
    "Download Failed(Error #001).  Please check the connection";
inline constexpr std::string_view IdentityFailedText =
    "Download Failed(Error #002).  Please check the connection";
inline constexpr std::string_view BlockReplyFailedText =
    "Download Failed(Error #003).  Please check the connection";
inline constexpr std::string_view WriteFailedText =
    "Download Failed(Error #004).  Please check the connection";
inline constexpr std::string_view CompletedText = "Send completed";

}  // namespace corvane::protocol
