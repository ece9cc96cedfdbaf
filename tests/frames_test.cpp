#include <gtest/gtest.h>

#include <vector>

#include "protocol/frames.h"

namespace corvane::protocol {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(Checksum, IsTheLowByteOfThePlainSum) {
  const struct {
    Bytes data;
    std::int32_t count;
    std::int32_t expected;
  } cases[] = {
      {{0xAD, 0xFA, 0, 0, 0, 0, 0}, 7, 0xA7},
      {Bytes(4104, 0xFF), 4104, 0xF8},
      {{0x12}, 0, 0},
      {{0x12}, -5, 0},
      {{0x80, 0x80, 0x01}, 2, 0x00},  // no carry folded back
      {{0x01, 0x02, 0x03}, 2, 0x03},  // only the first noofbyte bytes
  };
  for (const auto& c : cases) {
    EXPECT_EQ(checksum(c.data.data(), c.count), c.expected) << "count " << c.count;
  }
}

TEST(FrameHeader, MatchesTheWorkedExamples) {
  const struct {
    FrameHeader header;
    FrameHeader expected;
  } cases[] = {
      {IdentityRequest(), {0xAD, 0xFA, 0x00, 0x00, 0x00, 0x00, 0x00, 0xA7}},
      {MakeFrameHeader(0xAD, 0xFA, 4096, 0, 1, 0),
       {0xAD, 0xFA, 0x10, 0x00, 0x00, 0x01, 0x00, 0xB8}},
      {MakeFrameHeader(0xAD, 0xFA, 4096, 0, 1, 1),
       {0xAD, 0xFA, 0x10, 0x00, 0x00, 0x01, 0x01, 0xB9}},
      {MakeFrameHeader(0xAD, 0xFA, 512, 0, 20, 0),
       {0xAD, 0xFA, 0x02, 0x00, 0x00, 0x14, 0x00, 0xBD}},
      {MakeFrameHeader(0xAD, 0xFA, 1024, 0, 5, 1),
       {0xAD, 0xFA, 0x04, 0x00, 0x00, 0x05, 0x01, 0xB1}},
      {MakeFrameHeader(0xAD, 0xFA, 100, 1, 0, 0), {0xAD, 0xFA, 0x00, 0x64, 0x01, 0x00, 0x00, 0x0C}},
      {EndFrame(MarkerSecond), {0xBD, 0xFA, 0x00, 0x00, 0x00, 0x00, 0x00, 0xB7}},
      {EndFrame(LoaderEndMarkerSecond), {0xBD, 0xCF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x8C}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.header, c.expected);
  }
}

TEST(BlockFrame, CarriesHeaderPayloadAndTrailingChecksum) {
  for (const std::int32_t length : {1, 512, 1024, 4096}) {
    Bytes payload(static_cast<std::size_t>(length));
    for (std::size_t i = 0; i < payload.size(); ++i) {
      payload[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    Bytes frame(MaxBlockFrameSize, 0xEE);
    const auto header = MakeFrameHeader(FrameMarker, MarkerSecond, length, 0, 1, 0);
    ASSERT_EQ(BuildBlockFrame(header, payload, frame), length + 9);
    EXPECT_TRUE(std::equal(header.begin(), header.end(), frame.begin()));
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), frame.begin() + 8));
    EXPECT_EQ(frame[static_cast<std::size_t>(length) + 8], checksum(frame.data(), length + 8));
  }
}

}  // namespace
}  // namespace corvane::protocol
