// corvane-updater.exe: the updater window over the remote's USB driver. It
// takes no command line.

#include <string>

#include "firmware/images.h"
#include "link/device_link.h"
#include "link/win32/win32_backend.h"
#include "protocol/update_run.h"
#include "shell/win32/updater_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (!corvane::firmware::LoadMainImage()) {
    const std::string text(corvane::firmware::MainImageRefused);
    MessageBoxA(nullptr, text.c_str(), "corvane-updater", MB_OK | MB_ICONERROR);
    return 1;
  }
  corvane::link::Win32Backend backend;
  const corvane::link::BackendInUse inUse(backend);
  corvane::shell::win32::UpdaterWindow window(corvane::protocol::UpdateFirmware);
  return window.Run();
}
