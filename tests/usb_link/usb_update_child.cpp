// Runs one update through the libusb link, as the updater does, and prints
// the status it ends with: the far side of a remote that another process
// presents.
#include <iostream>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/libusb/libusb_platform.h"
#include "protocol/update_run.h"
#include "shell/images.h"
#include "sim/recording_window.h"

int main() {
  corvane::shell::LoadMainImage();
  corvane::link::LibusbPlatform platform;
  corvane::link::UsePlatform(platform);
  std::vector<std::string> transcript;
  corvane::sim::RecordingWindow window(transcript);
  corvane::protocol::UpdateFirmware(window);
  std::cout << window.status << '\n';
}
