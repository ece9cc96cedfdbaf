// The bytes of every frame the updater writes and every reply it reads.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace corvane::protocol {

// The low byte of the plain sum of data[0 .. noofbyte-1]; 0 for noofbyte <= 0.
std::int32_t checksum(const std::uint8_t* data, std::int32_t noofbyte);

inline constexpr std::uint8_t ProbeCommand = 0xF8;
inline constexpr std::uint8_t ProbeAck = 0xF6;

inline constexpr std::uint8_t FrameMarker = 0xAD;
inline constexpr std::uint8_t EndMarker = 0xBD;
inline constexpr std::uint8_t MarkerSecond = 0xFA;
inline constexpr std::uint8_t LoaderEndMarkerSecond = 0xCF;

inline constexpr std::int32_t FrameHeaderSize = 8;
inline constexpr std::int32_t MaxPayload = 4096;
inline constexpr std::int32_t MaxBlockFrameSize = FrameHeaderSize + MaxPayload + 1;
inline constexpr std::int32_t IdentityReplySize = 48;
inline constexpr std::int32_t BlockReplySize = 8;

// Offsets inside an IdentityReply of the four bytes compared with the main
// image, and the image offsets they line up with (the record sits at 0x4000).
inline constexpr std::size_t IdentityFlagByteA = 28;        // with image 0x400C
inline constexpr std::size_t IdentityFlagByteB = 29;        // with image 0x400D
inline constexpr std::size_t IdentityPathByteA = 31;        // with image 0x400F
inline constexpr std::size_t IdentityPathByteB = 32;        // with image 0x4010
inline constexpr std::size_t IdentityReplyInfoOffset = 16;  // reply bytes 16..47 = ImageInfo

// Offsets of the fields of a FrameHeader.
inline constexpr std::size_t LengthHigh = 2;
inline constexpr std::size_t LengthLow = 3;
inline constexpr std::size_t CounterHigh = 4;
inline constexpr std::size_t CounterLow = 5;
inline constexpr std::size_t HeaderFlagOffset = 6;
inline constexpr std::size_t HeaderChecksum = 7;

using FrameHeader = std::array<std::uint8_t, FrameHeaderSize>;

// A header with its checksum; length, block number and flag 0 give the
// IdentityRequest and the EndFrames.
FrameHeader MakeFrameHeader(std::uint8_t marker, std::uint8_t markerSecond, std::int32_t length,
                            std::uint8_t counterHigh, std::uint8_t counterLow,
                            std::uint8_t headerFlag);
FrameHeader IdentityRequest();
FrameHeader EndFrame(std::uint8_t markerSecond);

// Builds a BlockFrame into `frame` (at least 9 + payload bytes) and gives its
// length: the header, the payload, and the checksum of both.
std::int32_t BuildBlockFrame(const FrameHeader& header, std::span<const std::uint8_t> payload,
                             std::span<std::uint8_t> frame);

// The 16-bit big-endian number at bytes 4 and 5 of a header or BlockReply.
std::uint16_t BlockNumberAt(std::span<const std::uint8_t> bytes);

}  // namespace corvane::protocol
