// LoadImage for builds without a resource section: the images come from the
// arrays generated from firmware/*.bin.

#include <span>

#include "firmware/embedded_images.h"
#include "shell/images.h"

namespace corvane::shell {

std::vector<std::uint8_t> LoadImage(int id) {
  std::span<const std::uint8_t> data;
  switch (id) {
    case MainImageId:
      data = firmware::MainImageData();
      break;
    case LoaderImageId:
      data = firmware::LoaderImageData();
      break;
    default:
      return {};
  }
  return {data.begin(), data.end()};
}

}  // namespace corvane::shell
