// The two firmware images the program carries.
#pragma once

#include <cstdint>
#include <vector>

namespace corvane::shell {

inline constexpr int MainImageId = 101;
inline constexpr int LoaderImageId = 102;

// The byte count of the main image that an update sends.
inline constexpr std::int32_t MainImageBytes = 78336;

// The whole image with the given id as a new byte array; empty for an id
// the program does not carry.
std::vector<std::uint8_t> LoadImage(int id);

// Filled by LoadMainImage when the window loads; kept for the whole program.
extern std::vector<std::uint8_t> MainImage;
extern std::int32_t MainImageSize;
// Reloaded by every run of the loader path.
extern std::vector<std::uint8_t> LoaderImage;

void LoadMainImage();

}  // namespace corvane::shell
