// Writes the stand-in firmware images main.bin and loader.bin into the folder
// given as the only argument. The real firmware cannot be shipped in this
// repository; the stand-ins have the real sizes and ImageInfo records, and
// pseudo-random filler so that a lost, doubled or misplaced block shows.
// The output is the same on every run.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include "firmware/image_layout.h"

namespace {

using corvane::firmware::ImageInfoOffset;
using corvane::firmware::ImageInfoSize;

struct StandIn {
  const char* file_name;
  std::int32_t size;
  std::uint64_t seed;
  // ImageInfo bytes 6 to 9; they tell the two images apart.
  std::array<std::uint8_t, 4> model;
};

constexpr std::array<StandIn, 2> kStandIns{{
    {"main.bin", corvane::firmware::MainImageSize, 0x9E3779B97F4A7C15U, {0x1B, 0x1B, 0x05, 0x00}},
    {"loader.bin",
     corvane::firmware::LoaderImageSize,
     0xD1B54A32D192ED03U,
     {0x1C, 0x1B, 0x1B, 0x1F}},
}};

// xorshift64: fixed, portable and good enough that no two blocks repeat.
std::uint8_t NextByte(std::uint64_t& state) {
  state ^= state << 13;
  state ^= state >> 7;
  state ^= state << 17;
  return static_cast<std::uint8_t>(state >> 56);
}

std::array<std::uint8_t, ImageInfoSize> MakeImageInfo(const StandIn& image) {
  std::array<std::uint8_t, ImageInfoSize> record{};
  record[2] = 0x01;
  for (std::size_t i = 0; i < image.model.size(); ++i) {
    record[6 + i] = image.model[i];
  }
  // Identity bytes 12, 13, 15 and 16: 00 09 00 00.
  record[13] = 0x09;
  record.back() = corvane::firmware::ImageInfoSum(record);
  return record;
}

std::vector<std::uint8_t> MakeImage(const StandIn& image) {
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(image.size));
  std::uint64_t state = image.seed;
  for (auto& byte : bytes) {
    byte = NextByte(state);
  }
  const auto record = MakeImageInfo(image);
  std::ranges::copy(record, bytes.begin() + static_cast<std::ptrdiff_t>(ImageInfoOffset));
  return bytes;
}

bool WriteFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_stand_in_firmware OUTPUT_FOLDER\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  for (const auto& image : kStandIns) {
    if (!WriteFile(folder / image.file_name, MakeImage(image))) {
      std::cerr << "cannot write " << (folder / image.file_name).string() << '\n';
      return 1;
    }
  }
  return 0;
}
