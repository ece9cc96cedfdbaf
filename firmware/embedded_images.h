// The two firmware images, linked into host builds as byte arrays generated
// from main.bin and loader.bin in this folder.
#pragma once

#include <cstdint>
#include <span>

namespace corvane::firmware {

std::span<const std::uint8_t> MainImageData();
std::span<const std::uint8_t> LoaderImageData();

}  // namespace corvane::firmware
