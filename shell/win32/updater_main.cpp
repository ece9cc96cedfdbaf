// corvane-updater.exe: the updater window over the remote's USB driver. It
// takes no command line beyond --help and --version.

#include <cstdlib>  // __argc, __argv
#include <string>

#include "link/win32/win32_backend.h"
#include "shell/embedded_images.h"
#include "shell/program_info.h"
#include "shell/update_action.h"
#include "shell/win32/program_text.h"
#include "shell/win32/updater_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc == 2 &&
      corvane::shell::win32::AnsweredHelpOrVersion(
          "corvane-updater", __argv[1],
          corvane::shell::WindowProgramHelp(
              "corvane-updater", "",
              "Opens the updater window: plug the Corvane remote in, press Start, and read\n"
              "the status line. corvane-flash does the same from a command prompt."),
          corvane::shell::VersionText("corvane-updater"))) {
    return 0;
  }
  const auto images =
      corvane::shell::EmbeddedImages("corvane-updater", [](const std::string& line) {
        corvane::shell::win32::Say("corvane-updater", line + "\n", true);
      });
  if (!images) {
    return corvane::shell::ImagesRefusedStatus;
  }
  corvane::link::Win32Backend backend;
  corvane::shell::win32::UpdaterWindow window([&](corvane::protocol::WindowOperations& shown) {
    return corvane::shell::UpdateKeptAwake(backend, *images, "corvane-updater", shown);
  });
  return window.Run();
}
