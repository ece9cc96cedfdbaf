// corvane-updater: writes new firmware into the Corvane remote on the USB
// bus. It takes no command line.

#include <QApplication>
#include <iostream>

#include "firmware/images.h"
#include "link/device_link.h"
#include "link/libusb/libusb_backend.h"
#include "shell/qt/updater_window.h"

int main(int argc, char** argv) {
  if (!corvane::firmware::LoadMainImage()) {
    std::cerr << "corvane-updater: " << corvane::firmware::MainImageRefused << '\n';
    return 1;
  }
  QApplication app(argc, argv);
  // Lets the desktop match the window to its .desktop file and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("corvane-updater"));
  corvane::link::LibusbBackend backend;
  const corvane::link::BackendInUse inUse(backend);
  corvane::shell::UpdaterWindow window;
  window.show();
  return QApplication::exec();
}
