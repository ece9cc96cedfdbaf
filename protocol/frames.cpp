#include "protocol/frames.h"

#include <algorithm>

namespace corvane::protocol {

std::int32_t checksum(const std::uint8_t* data, std::int32_t noofbyte) {
  std::int32_t sum = 0;
  for (std::int32_t i = 0; i < noofbyte; ++i) {
    sum += data[i];
  }
  return sum & 0xFF;
}

FrameHeader MakeFrameHeader(std::uint8_t marker, std::uint8_t markerSecond, std::int32_t length,
                            std::uint8_t counterHigh, std::uint8_t counterLow,
                            std::uint8_t headerFlag) {
  FrameHeader header{marker,
                     markerSecond,
                     static_cast<std::uint8_t>(length / 256),
                     static_cast<std::uint8_t>(length % 256),
                     counterHigh,
                     counterLow,
                     headerFlag,
                     0};
  header[HeaderChecksum] = static_cast<std::uint8_t>(checksum(header.data(), HeaderChecksum));
  return header;
}

FrameHeader IdentityRequest() {
  return MakeFrameHeader(FrameMarker, MarkerSecond, 0, 0, 0, 0);
}

FrameHeader EndFrame(std::uint8_t markerSecond) {
  return MakeFrameHeader(EndMarker, markerSecond, 0, 0, 0, 0);
}

std::int32_t BuildBlockFrame(const FrameHeader& header, std::span<const std::uint8_t> payload,
                             std::span<std::uint8_t> frame) {
  const auto bodySize = static_cast<std::int32_t>(header.size() + payload.size());
  auto end = std::copy(header.begin(), header.end(), frame.begin());
  std::copy(payload.begin(), payload.end(), end);
  frame[static_cast<std::size_t>(bodySize)] =
      static_cast<std::uint8_t>(checksum(frame.data(), bodySize));
  return bodySize + 1;
}

std::uint16_t BlockNumberAt(std::span<const std::uint8_t> bytes) {
  return static_cast<std::uint16_t>(bytes[CounterHigh] * 256 + bytes[CounterLow]);
}

}  // namespace corvane::protocol
