#include "shell/images.h"

namespace corvane::shell {

std::vector<std::uint8_t> MainImage;
std::int32_t MainImageSize = 0;
std::vector<std::uint8_t> LoaderImage;

void LoadMainImage() {
  MainImage = LoadImage(MainImageId);
  MainImageSize = MainImageBytes;
}

}  // namespace corvane::shell
