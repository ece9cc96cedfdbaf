// The images as resources of type "CUSTOM" in the program file itself.

#include <windows.h>

#include "firmware/images.h"

namespace corvane::firmware {

std::span<const std::uint8_t> EmbeddedImage(int id) {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "CUSTOM");
  if (resource == nullptr) {
    return {};
  }
  // A loaded resource stays mapped for as long as the program runs.
  const auto* bytes =
      static_cast<const std::uint8_t*>(LockResource(LoadResource(nullptr, resource)));
  if (bytes == nullptr) {
    return {};
  }
  return {bytes, SizeofResource(nullptr, resource)};
}

}  // namespace corvane::firmware
