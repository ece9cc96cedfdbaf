#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "firmware/images.h"

namespace corvane::firmware {
namespace {

std::vector<std::uint8_t> ImageFile(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(Images, AreTheFilesTheBuildWasGivenByteForByteWithAValidRecord) {
  const struct {
    int id;
    const char* file;
    std::size_t size;
  } cases[] = {{MainImageId, CORVANE_MAIN_IMAGE_FILE, 78336},
               {LoaderImageId, CORVANE_LOADER_IMAGE_FILE, 17408}};
  static_assert(MainImageSize == 78336 && LoaderImageSize == 17408);
  for (const auto& c : cases) {
    const auto embedded = EmbeddedImage(c.id);
    ASSERT_EQ(embedded.size(), c.size) << c.file;
    EXPECT_TRUE(std::ranges::equal(embedded, ImageFile(c.file))) << c.file;
    // The record's last byte is the low byte of the sum of the others.
    const auto record = embedded.subspan<ImageInfoOffset, ImageInfoSize>();
    EXPECT_EQ(ImageInfoSum(record), record.back()) << c.file;
  }
  EXPECT_TRUE(EmbeddedImage(103).empty());
}

TEST(Images, TakeWhatAnUpdateSendsOrRefuseImagesTooShort) {
  const auto embedded = Images::Embedded();
  ASSERT_TRUE(embedded);
  EXPECT_TRUE(std::ranges::equal(embedded->Main(), EmbeddedImage(MainImageId)));
  EXPECT_TRUE(std::ranges::equal(embedded->Loader(), EmbeddedImage(LoaderImageId)));

  const std::vector<std::uint8_t> longer(MainImageSize + 1, 0x5A);
  const std::vector<std::uint8_t> shorter(MainImageSize - 1, 0x5A);
  const auto loader = EmbeddedImage(LoaderImageId);
  EXPECT_EQ(Images::From(longer, loader)->Main().size(), std::size_t{MainImageSize});
  EXPECT_FALSE(Images::From(shorter, loader));
  EXPECT_FALSE(Images::From(longer, loader.first(loader.size() - 1)));
}

}  // namespace
}  // namespace corvane::firmware
