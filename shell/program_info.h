// What every program says of itself for --version: its name and version
// and, in a build that carries the stand-in firmware images, that it does.
#pragma once

#include <string>
#include <string_view>

#include "firmware/image_layout.h"

namespace corvane::shell {

inline std::string VersionText(std::string_view program) {
  std::string text = std::string(program) + ' ' + CORVANE_VERSION + '\n';
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
