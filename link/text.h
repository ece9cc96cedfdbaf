// Comparing and upper-casing the ASCII texts of interface paths and pipe
// names, the way the system treats them: without regard to letter case.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace corvane::link {

constexpr char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

constexpr char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The iterator forms of the algorithms: the web build's standard library has
// no std::ranges ones yet.
inline std::string UpperCase(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(), UpperAscii);
  return upper;
}

constexpr bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](char x, char y) { return UpperAscii(x) == UpperAscii(y); });
}

// Bytes as upper-case hex, as transcripts and logs show frames, with
// `between` between two bytes.
inline std::string HexText(std::span<const std::uint8_t> bytes, std::string_view between = {}) {
  std::string text;
  for (const std::uint8_t byte : bytes) {
    if (!text.empty()) {
      text += between;
    }
    text += "0123456789ABCDEF"[byte >> 4];
    text += "0123456789ABCDEF"[byte & 0x0F];
  }
  return text;
}

}  // namespace corvane::link
