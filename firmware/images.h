// The two firmware images the program carries: resources "CUSTOM" 101 and
// 102 in the Windows program, arrays linked in elsewhere.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace corvane::firmware {

inline constexpr int MainImageId = 101;
inline constexpr int LoaderImageId = 102;

// The byte count of the main image that an update sends.
inline constexpr std::int32_t MainImageBytes = 78336;

// The embedded bytes with the given id, in place; empty for an id the
// program does not carry.
std::span<const std::uint8_t> EmbeddedImage(int id);

// Filled by LoadMainImage when the window loads; kept for the whole program.
extern std::vector<std::uint8_t> MainImage;
extern std::int32_t MainImageSize;
// Reloaded by every run of the loader path.
extern std::vector<std::uint8_t> LoaderImage;

// Loads the embedded main image, unless it is shorter than the bytes an
// update sends from it: then nothing of it is read, MainImage is left empty
// and the result is false.
bool LoadMainImage();
bool LoadMainImage(std::span<const std::uint8_t> image);
// What a program says when LoadMainImage refused the image it was built with.
inline constexpr std::string_view MainImageRefused =
    "the main firmware image built into this program is shorter than the 78336 bytes an "
    "update sends; rebuild it with a whole image";
void LoadLoaderImage();

}  // namespace corvane::firmware
