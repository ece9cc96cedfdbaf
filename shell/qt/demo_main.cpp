// corvane-updater-demo [SCENARIO | --list | --help | --version]: the
// updater window with a simulated remote plugged in, at a real remote's
// pace. No hardware needed.

#include <QApplication>
#include <iostream>
#include <string_view>

#include "shell/program_info.h"
#include "shell/qt/updater_window.h"
#include "shell/update_action.h"
#include "sim/demo_remote.h"
#include "sim/scenarios.h"

namespace {

constexpr std::string_view Program = "corvane-updater-demo";

constexpr std::string_view Arguments = "[SCENARIO | --list]";

int Usage() {
  std::cerr << "usage: corvane-updater-demo " << Arguments << '\n';
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  // The arguments are read before Qt starts, so that a wrong one is told
  // without a display.
  if (argc > 2) {
    return Usage();
  }
  const std::string_view name = argc == 2 ? argv[1] : corvane::sim::DefaultDemoScenario;
  if (name == "--list") {
    std::cout << corvane::sim::ScenarioList();
    return 0;
  }
  if (name == "--help" || name == "-h") {
    std::cout << corvane::shell::WindowProgramHelp(
        Program, Arguments,
        "Opens the updater window with a simulated remote plugged in (scenario direct\n"
        "unless another is named), at a real remote's pace. --list lists the scenarios.");
    return 0;
  }
  if (name == "--version" || name == "-V") {
    std::cout << corvane::shell::VersionText(Program);
    return 0;
  }
  const auto* scenario = corvane::sim::FindScenario(name);
  if (scenario == nullptr) {
    std::cerr << corvane::sim::UnknownScenario(Program, name, "--list") << '\n';
    return 2;
  }
  const auto images = corvane::firmware::Images::Embedded();
  if (!images) {
    std::cerr << Program << ": " << corvane::firmware::ImagesRefused << '\n';
    return 1;
  }

  QApplication app(argc, argv);
  corvane::sim::DemoRemote remote(*scenario);
  corvane::shell::UpdaterWindow window(
      [&](corvane::protocol::WindowOperations& shown) {
        return corvane::shell::UpdateKeptAwake(remote.backend(), *images, Program, shown);
      },
      corvane::shell::DemoTitlePrefix);
  window.show();
  return QApplication::exec();
}
