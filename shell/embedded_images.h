// The firmware every program carries, checked before anything touches a
// remote. A build whose images are refused must write nothing: the program
// says so, in its own way of saying things, and ends with this status.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "firmware/images.h"

namespace corvane::shell {

inline constexpr int ImagesRefusedStatus = 1;

inline std::optional<firmware::Images> EmbeddedImages(
    std::string_view program, const std::function<void(const std::string&)>& complain) {
  auto images = firmware::Images::Embedded();
  if (!images) {
    complain(std::string(program) + ": " + std::string(firmware::ImagesRefused));
  }
  return images;
}

}  // namespace corvane::shell
