// corvane-updater: writes new firmware into the Corvane remote on the USB
// bus. It takes no command line.

#include <QApplication>
#include <iostream>

#include "link/libusb/libusb_backend.h"
#include "shell/qt/updater_window.h"
#include "shell/update_action.h"

int main(int argc, char** argv) {
  const auto images = corvane::firmware::Images::Embedded();
  if (!images) {
    std::cerr << "corvane-updater: " << corvane::firmware::ImagesRefused << '\n';
    return 1;
  }
  QApplication app(argc, argv);
  // Lets the desktop match the window to its .desktop file and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("corvane-updater"));
  corvane::link::LibusbBackend backend;
  corvane::shell::UpdaterWindow window([&](corvane::protocol::WindowOperations& shown) {
    return corvane::shell::UpdateKeptAwake(backend, *images, "corvane-updater", shown);
  });
  window.show();
  return QApplication::exec();
}
