// corvane-updater: writes new firmware into the Corvane remote on the USB
// bus. It takes no command line beyond --help and --version.

#include <QApplication>
#include <iostream>
#include <string_view>

#include "link/libusb/libusb_backend.h"
#include "shell/embedded_images.h"
#include "shell/program_info.h"
#include "shell/qt/updater_window.h"
#include "shell/update_action.h"

int main(int argc, char** argv) {
  // Answered before Qt starts, so that they need no display.
  const std::string_view argument = argc == 2 ? argv[1] : "";
  if (argument == "--help" || argument == "-h") {
    std::cout << corvane::shell::WindowProgramHelp(
        "corvane-updater", "",
        "Opens the updater window: plug the Corvane remote in, press Start, and read the\n"
        "status line. corvane-flash does the same from a terminal.");
    return 0;
  }
  if (argument == "--version" || argument == "-V") {
    std::cout << corvane::shell::VersionText("corvane-updater");
    return 0;
  }
  const auto images = corvane::shell::EmbeddedImages(
      "corvane-updater", [](const std::string& line) { std::cerr << line << '\n'; });
  if (!images) {
    return corvane::shell::ImagesRefusedStatus;
  }
  QApplication app(argc, argv);
  // Lets the desktop match the window to its .desktop file and icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("io.github.corvane.updater"));
  corvane::link::LibusbBackend backend;
  corvane::shell::UpdaterWindow window([&](corvane::protocol::WindowOperations& shown) {
    return corvane::shell::UpdateKeptAwake(backend, *images, "corvane-updater", shown);
  });
  window.show();
  return QApplication::exec();
}
