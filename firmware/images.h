// The two firmware images the program carries: resources "CUSTOM" 101 and
// 102 in the Windows program, arrays linked in elsewhere.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "firmware/image_layout.h"

namespace corvane::firmware {

inline constexpr int MainImageId = 101;
inline constexpr int LoaderImageId = 102;

// The embedded bytes with the given id, in place; empty for an id the
// program does not carry.
std::span<const std::uint8_t> EmbeddedImage(int id);

// Both images as an update sends them: checked once, then read only.
class Images {
 public:
  // Nothing unless each holds at least the bytes an update sends from it;
  // the spans must outlive the value.
  static std::optional<Images> From(std::span<const std::uint8_t> main,
                                    std::span<const std::uint8_t> loader);
  // The images this program carries.
  static std::optional<Images> Embedded();

  // Exactly the bytes an update sends.
  std::span<const std::uint8_t> Main() const { return main_; }
  std::span<const std::uint8_t> Loader() const { return loader_; }

 private:
  Images(std::span<const std::uint8_t> main, std::span<const std::uint8_t> loader)
      : main_(main), loader_(loader) {}

  std::span<const std::uint8_t> main_;
  std::span<const std::uint8_t> loader_;
};

// What a program says when the images it was built with are refused.
inline constexpr std::string_view ImagesRefused =
    "the firmware images built into this program are shorter than an update sends; rebuild it "
    "with whole images";

}  // namespace corvane::firmware
