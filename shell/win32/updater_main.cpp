// corvane-updater.exe: the updater window over the remote's USB driver. It
// takes no command line beyond --help and --version.

#include <cstdlib>  // __argc, __argv
#include <string>

#include "link/win32/win32_backend.h"
#include "shell/embedded_images.h"
#include "shell/update_action.h"
#include "shell/win32/program_text.h"
#include "shell/win32/updater_window.h"
#include "shell/window_arguments.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using corvane::shell::UpdaterProgram;
  const auto start = corvane::shell::ReadUpdaterArguments(__argc, __argv);
  if (!start.open) {
    corvane::shell::win32::Say(UpdaterProgram, start.text, start.status != 0);
    return start.status;
  }
  const auto images = corvane::shell::EmbeddedImages(UpdaterProgram, [](const std::string& line) {
    corvane::shell::win32::Say(UpdaterProgram, line + "\n", true);
  });
  if (!images) {
    return corvane::shell::ImagesRefusedStatus;
  }
  corvane::link::Win32Backend backend;
  corvane::shell::win32::UpdaterWindow window(
      [&](corvane::protocol::WindowOperations& shown) {
        return corvane::shell::UpdateKeptAwake(backend, *images, UpdaterProgram, shown);
      },
      UpdaterProgram);
  return window.Run();
}
