// What every program says of itself for --version: its name and version,
// the firmware images it carries by their SHA-256 and, in a build that
// carries the stand-ins, that it does.
#pragma once

#include <string>
#include <string_view>

#include "firmware/image_layout.h"

namespace corvane::shell {

// An image named by its digest, as --version, --info and the log say it.
inline std::string ImageDigestLine(std::string_view image, std::string_view sha256) {
  return std::string(image) + " image SHA-256: " + std::string(sha256);
}

inline std::string VersionText(std::string_view program) {
  std::string text = std::string(program) + ' ' + CORVANE_VERSION + '\n';
  text.append(ImageDigestLine("main", firmware::MainImageSha256)).append("\n");
  text.append(ImageDigestLine("loader", firmware::LoaderImageSha256)).append("\n");
  if (firmware::CarriesStandIns) {
    text.append(firmware::StandInNote).append("\n");
  }
  return text;
}

// The help of a window program, which takes no other argument.
inline std::string WindowProgramHelp(std::string_view program, std::string_view arguments,
                                     std::string_view what) {
  return "usage: " + std::string(program) + (arguments.empty() ? "" : " ") +
         std::string(arguments) + "\n\n" + std::string(what) +
         "\n\n  -h, --help     print this help\n  -V, --version  print the version\n";
}

}  // namespace corvane::shell
