// corvane-updater.exe: the updater window over the remote's USB driver. It
// takes no command line.

#include <string>

#include "link/win32/win32_backend.h"
#include "shell/update_action.h"
#include "shell/win32/updater_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  const auto images = corvane::firmware::Images::Embedded();
  if (!images) {
    const std::string text(corvane::firmware::ImagesRefused);
    MessageBoxA(nullptr, text.c_str(), "corvane-updater", MB_OK | MB_ICONERROR);
    return 1;
  }
  corvane::link::Win32Backend backend;
  corvane::shell::win32::UpdaterWindow window([&](corvane::protocol::WindowOperations& shown) {
    return corvane::shell::UpdateKeptAwake(backend, *images, "corvane-updater", shown);
  });
  return window.Run();
}
