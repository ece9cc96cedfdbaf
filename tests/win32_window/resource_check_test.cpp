// The resources of the shipped program file, read the way Windows reads
// them: the two images, the version, the icon and the manifest.

#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "firmware/images.h"
#include "shell/win32/resource_ids.h"

namespace {

// Loaded once, as data, for the whole run.
const HMODULE Program = LoadLibraryExA(CORVANE_UPDATER_EXE, nullptr, LOAD_LIBRARY_AS_DATAFILE);

// The resource's bytes; empty when it or the program is missing.
std::string Bytes(HRSRC found) {
  if (found == nullptr) {
    return {};
  }
  const auto* bytes = static_cast<const char*>(LockResource(LoadResource(Program, found)));
  return {bytes, SizeofResource(Program, found)};
}

TEST(UpdaterResources, CarryBothImagesByteForByteInTheirLanguage) {
  for (const auto& [id, file] :
       {std::pair{corvane::firmware::MainImageId, CORVANE_MAIN_IMAGE_FILE},
        std::pair{corvane::firmware::LoaderImageId, CORVANE_LOADER_IMAGE_FILE}}) {
    std::ifstream in(file, std::ios::binary);
    const std::string expected{std::istreambuf_iterator<char>(in), {}};
    ASSERT_FALSE(expected.empty()) << file;
    EXPECT_TRUE(Bytes(FindResourceExA(Program, "CUSTOM", MAKEINTRESOURCEA(id), 0x0C04)) == expected)
        << file;
  }
}

TEST(UpdaterResources, GiveVersionOneShownAsOneDotZeroZero) {
  DWORD ignored = 0;
  std::vector<char> block(GetFileVersionInfoSizeA(CORVANE_UPDATER_EXE, &ignored));
  ASSERT_TRUE(
      GetFileVersionInfoA(CORVANE_UPDATER_EXE, 0, static_cast<DWORD>(block.size()), block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS | fixed->dwProductVersionLS, 0u);

  // The texts, under the language and code page the file names.
  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  for (const char* name : {"FileVersion", "ProductVersion"}) {
    char query[64];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translation[0],
                  translation[1], name);
    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&text), &length))
        << name;
    EXPECT_STREQ(text, "1.00") << name;
  }
}

TEST(UpdaterResources, HoldTheSixteenPixelIconIn256ColoursAndIn32Bits) {
  // The icon group: a 6-byte header, then 14-byte entries ending in the id
  // of each image.
  const std::string group =
      Bytes(FindResourceA(Program, MAKEINTRESOURCEA(CORVANE_ICON), RT_GROUP_ICON));
  ASSERT_GE(group.size(), 6u);
  std::vector<int> depths;
  for (std::size_t entry = 6; entry + 14 <= group.size(); entry += 14) {
    WORD id = 0;
    std::memcpy(&id, group.data() + entry + 12, sizeof id);
    const std::string image = Bytes(FindResourceA(Program, MAKEINTRESOURCEA(id), RT_ICON));
    BITMAPINFOHEADER header;
    ASSERT_GE(image.size(), sizeof header);
    std::memcpy(&header, image.data(), sizeof header);
    EXPECT_EQ(header.biWidth, 16);
    EXPECT_EQ(header.biHeight, 32);  // the colours and the mask
    depths.push_back(header.biBitCount);
  }
  EXPECT_EQ(depths, (std::vector<int>{8, 32}));
}

TEST(UpdaterResources, AskForCommonControlsSixAndSystemDpiAwareness) {
  const std::string manifest =
      Bytes(FindResourceA(Program, CREATEPROCESS_MANIFEST_RESOURCE_ID, RT_MANIFEST));
  EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
            std::string::npos);
  EXPECT_NE(manifest.find(">true</dpiAware>"), std::string::npos);
}

}  // namespace
