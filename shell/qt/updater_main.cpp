// corvane-updater: writes new firmware into the Corvane remote on the USB
// bus. It takes no command line.

#include <QApplication>

#include "link/device_link.h"
#include "link/libusb/libusb_platform.h"
#include "shell/qt/updater_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  // Lets the desktop match the window to its .desktop file and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("corvane-updater"));
  corvane::link::LibusbPlatform platform;
  corvane::link::UsePlatform(platform);
  corvane::shell::UpdaterWindow window;
  window.show();
  return QApplication::exec();
}
