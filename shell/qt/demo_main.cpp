// corvane-updater-demo [SCENARIO | --list]: the updater window with a
// simulated remote plugged in, at a real remote's pace. No hardware needed.

#include <QApplication>
#include <iostream>
#include <string_view>

#include "firmware/images.h"
#include "shell/qt/updater_window.h"
#include "sim/demo_remote.h"
#include "sim/scenarios.h"

namespace {

int Usage() {
  std::cerr << "usage: corvane-updater-demo [SCENARIO | --list]\n";
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
  const auto* scenario = corvane::sim::FindScenario(name);
  if (scenario == nullptr) {
    std::cerr << "corvane-updater-demo: unknown scenario '" << name
              << "'; corvane-updater-demo --list shows them\n";
    return 2;
  }

  if (!corvane::firmware::LoadMainImage()) {
    std::cerr << "corvane-updater-demo: " << corvane::firmware::MainImageRefused << '\n';
    return 1;
  }

  QApplication app(argc, argv);
  const corvane::sim::DemoRemote remote(*scenario);
  corvane::shell::UpdaterWindow window(corvane::shell::DemoTitlePrefix);
  window.show();
  return QApplication::exec();
}
