#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <vector>

#include "firmware/images.h"

namespace corvane::firmware {
namespace {

constexpr std::size_t ImageInfoOffset = 0x4000;
constexpr std::size_t ImageInfoSize = 32;

std::vector<std::uint8_t> CommittedFile(const char* name) {
  std::ifstream in(std::filesystem::path(CORVANE_FIRMWARE_DIR) / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Images, AreTheCommittedFilesByteForByteWithAValidRecord) {
  const struct {
    int id;
    const char* file;
    std::size_t size;
  } cases[] = {{MainImageId, "main.bin", 78336}, {LoaderImageId, "loader.bin", 17408}};
  for (const auto& c : cases) {
    const auto embedded = EmbeddedImage(c.id);
    ASSERT_EQ(embedded.size(), c.size) << c.file;
    EXPECT_TRUE(std::ranges::equal(embedded, CommittedFile(c.file))) << c.file;
    // The record's last byte is the low byte of the sum of the others.
    const auto record = embedded.subspan(ImageInfoOffset, ImageInfoSize);
    EXPECT_EQ(std::accumulate(record.begin(), record.end() - 1, 0u) & 0xFFu, record.back())
        << c.file;
  }
  EXPECT_TRUE(EmbeddedImage(103).empty());
}

TEST(LoadMainImage, LoadsTheWholeImageOrRefusesAShortOneUnread) {
  ASSERT_TRUE(LoadMainImage());
  EXPECT_EQ(MainImageSize, 78336);
  EXPECT_TRUE(std::ranges::equal(MainImage, EmbeddedImage(MainImageId)));

  const std::vector<std::uint8_t> shortImage(MainImageBytes - 1, 0x5A);
  EXPECT_FALSE(LoadMainImage(shortImage));
  EXPECT_TRUE(MainImage.empty());
  EXPECT_EQ(MainImageSize, 0);
}

}  // namespace
}  // namespace corvane::firmware
