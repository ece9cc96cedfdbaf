// corvane-updater.exe: the updater window over the remote's USB driver. It
// takes no command line.

#include "link/device_link.h"
#include "link/win32/win32_platform.h"
#include "protocol/update_run.h"
#include "shell/win32/updater_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  static corvane::link::Win32Platform platform;
  corvane::link::UsePlatform(platform);
  corvane::shell::win32::UpdaterWindow window(corvane::protocol::UpdateFirmware);
  return window.Run();
}
