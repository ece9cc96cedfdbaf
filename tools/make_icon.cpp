// Writes the program's icon into the folder given as the only argument:
// corvane.ico (16 x 16, 256 colours with a palette, and 32-bit colour with
// alpha) for Windows; for Linux desktops corvane.png (16 x 16, also built
// into the window) and corvane-N.png at the larger sizes of the hicolor
// theme. The artwork is the pixel map below: a remote with a green download
// arrow. Larger sizes scale it with nearest-neighbour sampling, so the pixel
// art stays crisp instead of blurring. The output is the same on every run.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr int kSize = 16;

// One character a pixel, top row first; '.' is transparent.
constexpr std::array<std::string_view, kSize> kArt{
    "....########....",  //
    "...#aaaaaaaa#...",  //
    "...#aarraaaa#...",  //
    "...#aarraaaa#...",  //
    "...#aaaaaaaa#...",  //
    "...#awwawwaa#...",  //
    "...#aaaaaaaa#...",  //
    "...#awwawwaa#...",  //
    "...#aaaaGGGGGG..",  //
    "...#aaaaGggggG..",  //
    "...#aaaaGggggG..",  //
    "...#aaGGGggggGGG",  //
    "...#aaaGggggggG.",  //
    "...#aaaaGggggG..",  //
    "....#####GggG...",  //
    ".........GGG....",  //
};

struct Colour {
  char key;
  std::uint8_t r, g, b, a;
};

// Index 0 is transparent; the others are the palette of the 256-colour image.
constexpr std::array<Colour, 7> kPalette{{
    {'.', 0, 0, 0, 0},
    {'#', 0x20, 0x24, 0x2A, 0xFF},  // outline
    {'a', 0x4A, 0x52, 0x5C, 0xFF},  // body
    {'r', 0xD8, 0x34, 0x34, 0xFF},  // power button
    {'w', 0xC8, 0xCE, 0xD4, 0xFF},  // keys
    {'G', 0x17, 0x5E, 0x27, 0xFF},  // arrow outline
    {'g', 0x34, 0xB0, 0x4C, 0xFF},  // arrow
}};

std::size_t PaletteIndex(char key) {
  for (std::size_t i = 0; i < kPalette.size(); ++i) {
    if (kPalette[i].key == key) {
      return i;
    }
  }
  std::cerr << "make_icon: no colour for '" << key << "'\n";
  std::exit(1);
}

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes& out, std::uint32_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}
void Put32BigEndian(Bytes& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(v >> shift));
  }
}

// A DIB as an icon holds it: the header (its height counts the colour
// bitmap and the mask), palette, colour rows bottom-up, then the 1-bit mask
// in which 1 is transparent, each row padded to 32 bits.
Bytes IconImage(int bitCount) {
  const std::uint32_t colourRow = kSize * static_cast<std::uint32_t>(bitCount) / 8;
  const std::uint32_t maskRow = 4;
  Bytes out;
  Put32(out, 40);
  Put32(out, kSize);
  Put32(out, 2 * kSize);
  Put16(out, 1);
  Put16(out, static_cast<std::uint32_t>(bitCount));
  Put32(out, 0);  // no compression
  Put32(out, (colourRow + maskRow) * kSize);
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);  // all 256 colours for 8 bits
  Put32(out, 0);
  if (bitCount == 8) {
    for (std::size_t i = 0; i < 256; ++i) {
      const Colour c = i < kPalette.size() ? kPalette[i] : Colour{};
      out.insert(out.end(), {c.b, c.g, c.r, 0});
    }
  }
  for (int y = kSize - 1; y >= 0; --y) {
    for (char key : kArt[static_cast<std::size_t>(y)]) {
      const std::size_t index = PaletteIndex(key);
      if (bitCount == 8) {
        out.push_back(static_cast<std::uint8_t>(index));
      } else {
        const Colour& c = kPalette[index];
        out.insert(out.end(), {c.b, c.g, c.r, c.a});
      }
    }
  }
  for (int y = kSize - 1; y >= 0; --y) {
    std::uint32_t bits = 0;
    for (int x = 0; x < kSize; ++x) {
      if (kArt[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '.') {
        bits |= 0x8000u >> x;
      }
    }
    out.insert(out.end(),
               {static_cast<std::uint8_t>(bits >> 8), static_cast<std::uint8_t>(bits), 0, 0});
  }
  return out;
}

Bytes Ico() {
  const std::array<std::pair<int, Bytes>, 2> images{{{8, IconImage(8)}, {32, IconImage(32)}}};
  Bytes out;
  Put16(out, 0);
  Put16(out, 1);  // an icon, not a cursor
  Put16(out, images.size());
  std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
  for (const auto& [bitCount, image] : images) {
    out.insert(out.end(), {kSize, kSize, 0, 0});  // 0 colours: 256 or more
    Put16(out, 1);
    Put16(out, static_cast<std::uint32_t>(bitCount));
    Put32(out, static_cast<std::uint32_t>(image.size()));
    Put32(out, offset);
    offset += static_cast<std::uint32_t>(image.size());
  }
  for (const auto& entry : images) {
    out.insert(out.end(), entry.second.begin(), entry.second.end());
  }
  return out;
}

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
  }
  return ~crc;
}

void PngChunk(Bytes& out, std::string_view type, const Bytes& data) {
  Put32BigEndian(out, static_cast<std::uint32_t>(data.size()));
  const std::size_t start = out.size();
  out.insert(out.end(), type.begin(), type.end());
  out.insert(out.end(), data.begin(), data.end());
  Put32BigEndian(out, Crc32(out.data() + start, out.size() - start));
}

// Writes deflate's bits, least significant first.
class BitWriter {
 public:
  explicit BitWriter(Bytes& out) : out_(out) {}
  void Bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      Bit((value >> i) & 1u);
    }
  }
  // Huffman codes go most significant bit first.
  void Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) {
      Bit((code >> i) & 1u);
    }
  }
  void Flush() {
    if (used_ != 0) {
      out_.push_back(current_);
      current_ = 0;
      used_ = 0;
    }
  }

 private:
  void Bit(std::uint32_t bit) {
    current_ = static_cast<std::uint8_t>(current_ | (bit << used_));
    if (++used_ == 8) {
      Flush();
    }
  }
  Bytes& out_;
  std::uint8_t current_ = 0;
  int used_ = 0;
};

// A literal or length symbol in deflate's fixed Huffman code.
void FixedSymbol(BitWriter& bits, std::uint32_t symbol) {
  if (symbol < 144) {
    bits.Code(0x30 + symbol, 8);
  } else if (symbol < 256) {
    bits.Code(0x190 + symbol - 144, 9);
  } else if (symbol < 280) {
    bits.Code(symbol - 256, 7);
  } else {
    bits.Code(0xC0 + symbol - 280, 8);
  }
}

void Match(BitWriter& bits, std::uint32_t length, std::uint32_t distance) {
  static constexpr std::array<std::uint32_t, 29> kLengthBase{
      3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
  static constexpr std::array<int, 29> kLengthExtra{0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                                    2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
  static constexpr std::array<std::uint32_t, 30> kDistanceBase{
      1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
      193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
  static constexpr std::array<int, 30> kDistanceExtra{0, 0, 0,  0,  1,  1,  2,  2,  3,  3,
                                                      4, 4, 5,  5,  6,  6,  7,  7,  8,  8,
                                                      9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
  std::size_t l = kLengthBase.size() - 1;
  while (kLengthBase[l] > length) {
    --l;
  }
  FixedSymbol(bits, 257 + static_cast<std::uint32_t>(l));
  bits.Bits(length - kLengthBase[l], kLengthExtra[l]);
  std::size_t d = kDistanceBase.size() - 1;
  while (kDistanceBase[d] > distance) {
    --d;
  }
  bits.Code(static_cast<std::uint32_t>(d), 5);
  bits.Bits(distance - kDistanceBase[d], kDistanceExtra[d]);
}

// One deflate block with the fixed code. Scaled pixel art repeats itself in
// two ways only: a pixel the one before it, a row the one above it, so
// looking back exactly that far finds every match worth having.
Bytes Deflate(const Bytes& data, std::uint32_t stride) {
  Bytes out;
  BitWriter bits(out);
  bits.Bits(1, 1);  // the last block
  bits.Bits(1, 2);  // fixed Huffman code
  std::size_t i = 0;
  while (i < data.size()) {
    std::size_t best = 0;
    std::uint32_t bestDistance = 0;
    for (const std::uint32_t distance : {stride, 4u}) {
      if (distance > i) {
        continue;
      }
      std::size_t length = 0;
      while (length < 258 && i + length < data.size() &&
             data[i + length] == data[i + length - distance]) {
        ++length;
      }
      if (length > best) {
        best = length;
        bestDistance = distance;
      }
    }
    if (best >= 3) {
      Match(bits, static_cast<std::uint32_t>(best), bestDistance);
      i += best;
    } else {
      FixedSymbol(bits, data[i]);
      ++i;
    }
  }
  FixedSymbol(bits, 256);  // end of block
  bits.Flush();
  return out;
}

// The artwork at size x size pixels, RGBA, 8 bits a channel, each pixel
// taken from the nearest one of the 16 x 16 map.
Bytes Png(int size) {
  const auto side = static_cast<std::uint32_t>(size);
  const std::uint32_t stride = 1 + 4 * side;
  Bytes rows;
  for (int y = 0; y < size; ++y) {
    rows.push_back(0);  // no filter
    const auto& line = kArt[static_cast<std::size_t>(y * kSize / size)];
    for (int x = 0; x < size; ++x) {
      const Colour& c = kPalette[PaletteIndex(line[static_cast<std::size_t>(x * kSize / size)])];
      rows.insert(rows.end(), {c.r, c.g, c.b, c.a});
    }
  }
  std::uint32_t a = 1;
  std::uint32_t b = 0;
  for (std::uint8_t byte : rows) {
    a = (a + byte) % 65521;
    b = (b + a) % 65521;
  }
  Bytes zlib{0x78, 0x01};
  const Bytes deflated = Deflate(rows, stride);
  zlib.insert(zlib.end(), deflated.begin(), deflated.end());
  Put32BigEndian(zlib, (b << 16) | a);

  Bytes header;
  Put32BigEndian(header, side);
  Put32BigEndian(header, side);
  header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA
  Bytes out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  PngChunk(out, "IHDR", header);
  PngChunk(out, "IDAT", zlib);
  PngChunk(out, "IEND", {});
  return out;
}

bool Write(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(reinterpret_cast<const char*>(bytes.data()),
             static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(file);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: make_icon FOLDER\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  bool written = Write(folder / "corvane.ico", Ico()) && Write(folder / "corvane.png", Png(kSize));
  // The larger sizes of the hicolor theme, up to 256 x 256.
  for (const int size : {24, 32, 48, 64, 128, 256}) {
    written = written && Write(folder / ("corvane-" + std::to_string(size) + ".png"), Png(size));
  }
  if (!written) {
    std::cerr << "make_icon: cannot write into " << folder << '\n';
    return 1;
  }
  return 0;
}
