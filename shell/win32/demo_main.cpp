// corvane-updater-demo.exe [SCENARIO | --help | --version]: the updater
// window with a simulated remote on the real clock, at a real remote's pace,
// so that a whole update can be watched. The scenario is one of
// corvane-sim's; direct by default.

#include <cstdlib>  // __argc, __argv
#include <string>
#include <string_view>

#include "shell/program_info.h"
#include "shell/update_action.h"
#include "shell/win32/program_text.h"
#include "shell/win32/updater_window.h"
#include "sim/demo_remote.h"
#include "sim/scenarios.h"

namespace {

constexpr int UsageStatus = 2;
constexpr std::string_view Program = "corvane-updater-demo";

void Complain(const std::string& text) {
  corvane::shell::win32::Say(Program, text, true);
}

std::string UsageText() {
  std::string text = "usage: corvane-updater-demo [SCENARIO]   (default ";
  text += corvane::sim::DefaultDemoScenario;
  text += ")\nscenarios:\n";
  return text + corvane::sim::ScenarioList();
}

int Usage(std::string_view problem) {
  Complain(std::string(problem) + "\n" + UsageText());
  return UsageStatus;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  if (__argc > 2) {
    return Usage(std::string(Program) + ": one scenario at most");
  }
  const std::string_view name =
      __argc == 2 ? std::string_view(__argv[1]) : corvane::sim::DefaultDemoScenario;
  if (corvane::shell::win32::AnsweredHelpOrVersion(Program, name, UsageText(),
                                                   corvane::shell::VersionText(Program))) {
    return 0;
  }
  const auto* scenario = corvane::sim::FindScenario(name);
  if (scenario == nullptr) {
    return Usage(corvane::sim::UnknownScenario(Program, name, "--list"));
  }
  const auto images = corvane::firmware::Images::Embedded();
  if (!images) {
    Complain(std::string(Program) + ": " + std::string(corvane::firmware::ImagesRefused) + "\n");
    return 1;
  }
  corvane::sim::DemoRemote remote(*scenario);
  corvane::shell::win32::UpdaterWindow window(
      [&](corvane::protocol::WindowOperations& shown) {
        return corvane::shell::UpdateKeptAwake(remote.backend(), *images, Program, shown);
      },
      corvane::shell::DemoTitlePrefix);
  return window.Run();
}
