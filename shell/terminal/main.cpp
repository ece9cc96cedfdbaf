// corvane-flash: the updater in a terminal, for people, service desks and
// production lines. Writes the firmware it carries into the Corvane remotes
// on the USB bus (or into simulated ones), saying what it does, and ends
// with the run's status text and an exit status a script can act on.

#include <cstdio>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "shell/embedded_images.h"
#include "shell/program_info.h"
#include "shell/terminal/exit_status.h"
#include "shell/terminal/help.h"
#include "shell/terminal/options.h"
#include "shell/terminal/remotes.h"
#include "shell/terminal/session.h"
#include "shell/terminal/watch.h"

#if defined(CORVANE_STAND_IN_BUS)
// The tests' build of this program, on simulated remotes reached as the
// system's bus is.
#include "stand_in_bus.h"
using SystemBackend = corvane::link::StandInBus;
#elif defined(_WIN32)
#include "link/win32/win32_backend.h"
using SystemBackend = corvane::link::Win32Backend;
#else
#include "link/libusb/libusb_backend.h"
using SystemBackend = corvane::link::LibusbBackend;
#endif

namespace {

namespace shell = corvane::shell;
using shell::FlashProgram;

// C's streams keep the Windows program small.
void Print(std::FILE* out, std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), out);
}

void PrintError(const std::string& line) {
  Print(stderr, line + "\n");
}

}  // namespace

int main(int argc, char** argv) {
  const auto read = shell::ReadOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto* problem = std::get_if<std::string>(&read)) {
    PrintError(std::string(FlashProgram) + ": " + *problem + " (try " + std::string(FlashProgram) +
               " --help)");
    return shell::BadArguments;
  }
  const auto& options = std::get<shell::Options>(read);
  if (options.help) {
    Print(stdout, shell::FlashHelp());
    return 0;
  }
  if (options.version) {
    Print(stdout, shell::VersionText(FlashProgram));
    return 0;
  }
  if (options.listScenarios) {
    Print(stdout, corvane::sim::ScenarioList());
    return 0;
  }
  std::vector<const corvane::sim::Scenario*> scenarios;
  for (const std::string& name : options.simulate) {
    scenarios.push_back(corvane::sim::FindScenario(name));
    if (scenarios.back() == nullptr) {
      PrintError(corvane::sim::UnknownScenario(FlashProgram, name, "--list-scenarios"));
      return shell::BadArguments;
    }
  }
  const auto images = shell::EmbeddedImages(FlashProgram, PrintError);
  if (!images) {
    return shell::ImagesRefusedStatus;
  }
  const auto run = options.watch ? shell::RunWatch : shell::RunSession;
  if (!scenarios.empty()) {
    shell::SimulatedRemotes remotes(scenarios);
    return run(options, remotes, *images);
  }
  shell::SystemRemotes<SystemBackend> remotes;
  return run(options, remotes, *images);
}
