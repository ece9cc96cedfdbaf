#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "shell/images.h"

namespace corvane::shell {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kImageInfoOffset = 0x4000;
constexpr std::size_t kBlockSize = 4096;

struct ImageCase {
  int id;
  const char* file_name;
  std::size_t size;
  std::vector<std::uint8_t> image_info;
};

const std::vector<ImageCase>& Images() {
  static const std::vector<ImageCase> cases{
      {MainImageId, "main.bin", 78336, {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x1B, 0x1B,
                                        0x05, 0x00, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00,
                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x45}},
      {LoaderImageId, "loader.bin", 17408, {0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x1C, 0x1B,
                                            0x1B, 0x1F, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00,
                                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                            0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7B}},
  };
  return cases;
}

std::vector<std::uint8_t> ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Names the first differing offset instead of printing whole images.
testing::AssertionResult SameBytes(const std::vector<std::uint8_t>& actual,
                                   const std::vector<std::uint8_t>& expected) {
  if (actual.size() != expected.size()) {
    return testing::AssertionFailure()
           << "size " << actual.size() << ", expected " << expected.size();
  }
  const auto at = std::ranges::mismatch(actual, expected).in1;
  if (at != actual.end()) {
    return testing::AssertionFailure() << "first difference at byte " << (at - actual.begin());
  }
  return testing::AssertionSuccess();
}

TEST(Images, CarryTheirSizeAndImageInfo) {
  for (const auto& image : Images()) {
    SCOPED_TRACE(image.file_name);
    const auto bytes = LoadImage(image.id);
    ASSERT_EQ(bytes.size(), image.size);

    const auto record_begin = bytes.begin() + static_cast<std::ptrdiff_t>(kImageInfoOffset);
    const std::vector<std::uint8_t> record(record_begin, record_begin + 32);
    EXPECT_EQ(record, image.image_info);

    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < 31; ++i) {
      sum = static_cast<std::uint8_t>(sum + record[i]);
    }
    EXPECT_EQ(record[31], sum);
  }
}

// Transfer tests rely on this: a block sent twice, skipped or out of order
// must change what the remote receives.
TEST(Images, HaveNoTwoEqualBlocks) {
  for (const auto& image : Images()) {
    SCOPED_TRACE(image.file_name);
    const auto bytes = LoadImage(image.id);
    std::set<std::vector<std::uint8_t>> blocks;
    for (std::size_t start = 0; start < bytes.size(); start += kBlockSize) {
      const auto end = std::min(start + kBlockSize, bytes.size());
      blocks.emplace(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                     bytes.begin() + static_cast<std::ptrdiff_t>(end));
    }
    EXPECT_EQ(blocks.size(), (bytes.size() + kBlockSize - 1) / kBlockSize);
  }
}

TEST(Images, EmbeddedBytesMatchTheCommittedFiles) {
  for (const auto& image : Images()) {
    SCOPED_TRACE(image.file_name);
    EXPECT_TRUE(
        SameBytes(LoadImage(image.id), ReadFile(fs::path(CORVANE_FIRMWARE_DIR) / image.file_name)));
  }
}

// The generator is a host tool; a Windows build has none to run.
#ifdef CORVANE_STAND_IN_GENERATOR
TEST(Images, GeneratorReproducesTheCommittedFiles) {
  const fs::path folder =
      fs::path(testing::TempDir()) /
      ("stand_in_firmware_" +
       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
  fs::create_directories(folder);
  const std::string command = "\"" CORVANE_STAND_IN_GENERATOR "\" \"" + folder.string() + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;

  for (const auto& image : Images()) {
    SCOPED_TRACE(image.file_name);
    EXPECT_TRUE(SameBytes(ReadFile(folder / image.file_name),
                          ReadFile(fs::path(CORVANE_FIRMWARE_DIR) / image.file_name)));
  }
  fs::remove_all(folder);
}
#endif

TEST(Images, UnknownIdsGiveNoBytes) {
  for (const int id : {0, 1, 100, 103, -101, 201}) {
    SCOPED_TRACE(id);
    EXPECT_TRUE(LoadImage(id).empty());
  }
}

TEST(LoadMainImage, SetsMainImageAndItsSize) {
  LoadMainImage();
  ASSERT_EQ(MainImage.size(), 78336U);
  EXPECT_EQ(MainImageSize, 78336);
  // The identity bytes the update run compares with the remote's reply.
  const std::vector<std::uint8_t> identity{MainImage[0x400C], MainImage[0x400D], MainImage[0x400F],
                                           MainImage[0x4010]};
  EXPECT_EQ(identity, (std::vector<std::uint8_t>{0x00, 0x09, 0x00, 0x00}));
}

}  // namespace
}  // namespace corvane::shell
