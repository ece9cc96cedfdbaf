#include "firmware/images.h"

namespace corvane::firmware {

std::vector<std::uint8_t> MainImage;
std::int32_t MainImageSize = 0;
std::vector<std::uint8_t> LoaderImage;

bool LoadMainImage() {
  return LoadMainImage(EmbeddedImage(MainImageId));
}

bool LoadMainImage(std::span<const std::uint8_t> image) {
  if (image.size() < static_cast<std::size_t>(MainImageBytes)) {
    MainImage.clear();
    MainImageSize = 0;
    return false;
  }
  MainImage.assign(image.begin(), image.end());
  MainImageSize = MainImageBytes;
  return true;
}

void LoadLoaderImage() {
  const auto image = EmbeddedImage(LoaderImageId);
  LoaderImage.assign(image.begin(), image.end());
}

}  // namespace corvane::firmware
