// corvane-updater-demo.exe [SCENARIO | --list | --help | --version]: the
// updater window with a simulated remote on the real clock, at a real
// remote's pace, so that a whole update can be watched. The scenario is one
// of corvane-sim's; direct by default.

#include <cstdlib>  // __argc, __argv

#include "shell/demo_arguments.h"
#include "shell/embedded_images.h"
#include "shell/update_action.h"
#include "shell/win32/program_text.h"
#include "shell/win32/updater_window.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using corvane::shell::DemoProgram;
  const auto chosen = corvane::shell::ReadDemoArguments(__argc, __argv);
  if (!chosen.open) {
    corvane::shell::win32::Say(DemoProgram, chosen.text, chosen.status != 0);
    return chosen.status;
  }
  const auto images = corvane::shell::EmbeddedImages(DemoProgram, [](const std::string& line) {
    corvane::shell::win32::Say(DemoProgram, line + "\n", true);
  });
  if (!images) {
    return corvane::shell::ImagesRefusedStatus;
  }
  corvane::sim::DemoRemote remote(*chosen.scenario);
  corvane::shell::win32::UpdaterWindow window(
      [&](corvane::protocol::WindowOperations& shown) {
        return corvane::shell::UpdateKeptAwake(remote.backend(), *images, DemoProgram, shown);
      },
      DemoProgram, corvane::shell::DemoWindowTitle);
  return window.Run();
}
