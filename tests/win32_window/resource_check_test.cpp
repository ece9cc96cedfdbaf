// The resources of the shipped program file, read the way Windows reads
// them: the two images, the version, the icon and the manifest.

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "shell/images.h"
#include "shell/win32/resource_ids.h"

namespace {

constexpr WORD ImagesLanguage = 0x0C04;

std::vector<std::uint8_t> ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class UpdaterResources : public testing::Test {
 protected:
  void SetUp() override {
    program_ = LoadLibraryExA(CORVANE_UPDATER_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(program_, nullptr) << CORVANE_UPDATER_EXE;
  }
  void TearDown() override {
    if (program_ != nullptr) {
      FreeLibrary(program_);
    }
  }

  // The resource's bytes; empty when it is missing.
  std::vector<std::uint8_t> Bytes(HRSRC found) const {
    if (found == nullptr) {
      return {};
    }
    const auto* bytes =
        static_cast<const std::uint8_t*>(LockResource(LoadResource(program_, found)));
    return {bytes, bytes + SizeofResource(program_, found)};
  }

  HMODULE program_ = nullptr;
};

TEST_F(UpdaterResources, CarryBothImagesByteForByteInTheirLanguage) {
  struct Image {
    int id;
    const char* file;
    std::size_t size;
  };
  for (const Image& image : {Image{corvane::shell::MainImageId, "main.bin", 78336},
                             Image{corvane::shell::LoaderImageId, "loader.bin", 17408}}) {
    SCOPED_TRACE(image.file);
    const auto resource =
        Bytes(FindResourceExA(program_, "CUSTOM", MAKEINTRESOURCEA(image.id), ImagesLanguage));
    EXPECT_EQ(resource.size(), image.size);
    EXPECT_TRUE(resource == ReadFile(std::string(CORVANE_FIRMWARE_DIR "/") + image.file));
  }
}

TEST_F(UpdaterResources, GiveVersionOnePointZeroShownAsOneDotZeroZero) {
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(CORVANE_UPDATER_EXE, &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(CORVANE_UPDATER_EXE, 0, size, block.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0u);

  // The texts, under the language and code page the file names.
  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_GE(length, 4u);
  char prefix[64];
  std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04x%04x\\", translation[0],
                translation[1]);
  for (const char* name : {"FileVersion", "ProductVersion"}) {
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), (std::string(prefix) + name).c_str(),
                               reinterpret_cast<void**>(&text), &length))
        << name;
    EXPECT_STREQ(text, "1.00") << name;
  }
}

TEST_F(UpdaterResources, HoldTheSixteenPixelIconIn256ColoursAndIn32Bits) {
#pragma pack(push, 2)
  struct GroupEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
  };
  struct Group {
    WORD reserved, type, count;
    GroupEntry entries[1];
  };
#pragma pack(pop)
  HRSRC found = FindResourceA(program_, MAKEINTRESOURCEA(CORVANE_ICON), RT_GROUP_ICON);
  ASSERT_NE(found, nullptr);
  const auto* group = static_cast<const Group*>(LockResource(LoadResource(program_, found)));
  ASSERT_EQ(group->count, 2);
  std::vector<int> depths;
  for (int i = 0; i < group->count; ++i) {
    const GroupEntry& entry = group->entries[i];
    EXPECT_EQ(entry.width, 16);
    EXPECT_EQ(entry.height, 16);
    HRSRC image = FindResourceA(program_, MAKEINTRESOURCEA(entry.id), RT_ICON);
    ASSERT_NE(image, nullptr);
    const auto* header =
        static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(program_, image)));
    EXPECT_EQ(header->biWidth, 16);
    EXPECT_EQ(header->biHeight, 32);  // the colours and the mask
    depths.push_back(header->biBitCount);
  }
  EXPECT_EQ(depths, (std::vector<int>{8, 32}));
}

TEST_F(UpdaterResources, AskForCommonControlsSixAndSystemDpiAwareness) {
  const auto manifest =
      Bytes(FindResourceA(program_, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST));
  const std::string text(manifest.begin(), manifest.end());
  EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  EXPECT_NE(text.find(">true</dpiAware>"), std::string::npos);
}

}  // namespace
