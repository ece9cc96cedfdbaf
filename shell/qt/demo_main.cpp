// corvane-updater-demo [SCENARIO | --list | --help | --version]: the
// updater window with a simulated remote plugged in, at a real remote's
// pace. No hardware needed.

#include <QApplication>
#include <iostream>

#include "shell/demo_arguments.h"
#include "shell/embedded_images.h"
#include "shell/qt/desktop_session.h"
#include "shell/qt/updater_window.h"
#include "shell/update_action.h"

int main(int argc, char** argv) {
  using corvane::shell::DemoProgram;
  // The arguments are read before Qt starts, so that they need no display.
  const auto chosen = corvane::shell::ReadDemoArguments(argc, argv);
  if (!chosen.open) {
    (chosen.status == 0 ? std::cout : std::cerr) << chosen.text;
    return chosen.status;
  }
  if (!corvane::shell::HasDesktopSession()) {
    std::cerr << DemoProgram << ": " << corvane::shell::NoDesktopSession << '\n';
    return 2;
  }
  const auto images = corvane::shell::EmbeddedImages(
      DemoProgram, [](const std::string& line) { std::cerr << line << '\n'; });
  if (!images) {
    return corvane::shell::ImagesRefusedStatus;
  }

  QApplication app(argc, argv);
  corvane::sim::DemoRemote remote(*chosen.scenario);
  corvane::shell::UpdaterWindow window(
      [&](corvane::protocol::WindowOperations& shown) {
        return corvane::shell::UpdateKeptAwake(remote.backend(), *images, DemoProgram, shown);
      },
      DemoProgram, corvane::shell::DemoWindowTitle);
  window.show();
  return QApplication::exec();
}
