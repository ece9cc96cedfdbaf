#include "firmware/images.h"

namespace corvane::firmware {

std::optional<Images> Images::From(std::span<const std::uint8_t> main,
                                   std::span<const std::uint8_t> loader) {
  constexpr auto mainSize = static_cast<std::size_t>(MainImageSize);
  constexpr auto loaderSize = static_cast<std::size_t>(LoaderImageSize);
  if (main.size() < mainSize || loader.size() < loaderSize) {
    return std::nullopt;
  }
  return Images(main.first(mainSize), loader.first(loaderSize));
}

std::optional<Images> Images::Embedded() {
  return From(EmbeddedImage(MainImageId), EmbeddedImage(LoaderImageId));
}

}  // namespace corvane::firmware
