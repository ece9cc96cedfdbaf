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

}  // namespace
}  // namespace corvane::protocol
