// LoadImage for Windows: the images are resources of type "CUSTOM" in the
// program file itself.

#include <windows.h>
// windows.h maps LoadImage to the icon and bitmap loader LoadImageA.
#undef LoadImage

#include "shell/images.h"

namespace corvane::shell {

std::vector<std::uint8_t> LoadImage(int id) {
  HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(id), "CUSTOM");
  if (resource == nullptr) {
    return {};
  }
  HGLOBAL loaded = ::LoadResource(nullptr, resource);
  const auto* bytes = static_cast<const std::uint8_t*>(LockResource(loaded));
  const DWORD size = SizeofResource(nullptr, resource);
  if (bytes == nullptr) {
    return {};
  }
  return {bytes, bytes + size};
}

}  // namespace corvane::shell
