// corvane-updater: writes new firmware into the Corvane remote on the USB
// bus. It takes no command line beyond --help and --version.

#include <QApplication>
#include <iostream>

#include "link/libusb/libusb_backend.h"
#include "shell/embedded_images.h"
#include "shell/qt/desktop_session.h"
#include "shell/qt/updater_window.h"
#include "shell/update_action.h"
#include "shell/window_arguments.h"

int main(int argc, char** argv) {
  using corvane::shell::UpdaterProgram;
  // Answered before Qt starts, so that they need no display.
  const auto start = corvane::shell::ReadUpdaterArguments(argc, argv);
  if (!start.open) {
    (start.status == 0 ? std::cout : std::cerr) << start.text;
    return start.status;
  }
  if (!corvane::shell::HasDesktopSession()) {
    std::cerr << UpdaterProgram << ": " << corvane::shell::NoDesktopSession << '\n';
    return 2;
  }
  const auto images = corvane::shell::EmbeddedImages(
      UpdaterProgram, [](const std::string& line) { std::cerr << line << '\n'; });
  if (!images) {
    return corvane::shell::ImagesRefusedStatus;
  }
  QApplication app(argc, argv);
  // Lets the desktop match the window to its .desktop file and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.corvane.updater"));
  corvane::link::LibusbBackend backend;
  corvane::shell::UpdaterWindow window(
      [&](corvane::protocol::WindowOperations& shown) {
        return corvane::shell::UpdateKeptAwake(backend, *images, UpdaterProgram, shown);
      },
      UpdaterProgram);
  window.show();
  return QApplication::exec();
}
