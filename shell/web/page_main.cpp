// The updater as a web page (web/index.html, with corvane-updater.js and
// corvane-updater.wasm beside it): the window on WebUSB, or, with
// ?demo=SCENARIO, on a simulated remote at a real remote's pace. The page's
// script (web/page.js) hands the demo's scenario over as the one argument,
// and its Start and Exit call in below.
#include <emscripten.h>

#include <memory>
#include <string>
#include <vector>

#include "link/webusb/webusb_backend.h"
#include "shell/embedded_images.h"
#include "shell/program_info.h"
#include "shell/update_action.h"
#include "shell/web/page_window.h"
#include "sim/demo_remote.h"
#include "sim/recording_window.h"

namespace {

using namespace corvane;

constexpr std::string_view Program = "corvane-updater-web";

// clang-format off
EM_JS(void, PageAbout, (const char* text), {
  Module.page.about(UTF8ToString(text));
});
EM_JS(void, PageScenarios, (const char* list, const char* chosen, bool known), {
  Module.page.scenarios(UTF8ToString(list), UTF8ToString(chosen), known);
});
// clang-format on

// The run's window operations shown on the page and written down alike.
class ShownAndRecorded final : public protocol::WindowOperations {
 public:
  ShownAndRecorded(protocol::WindowOperations& shown, std::vector<std::string>& transcript)
      : shown_(shown), recorded_(transcript) {}

  void SetStatusText(std::string_view text) override {
    recorded_.SetStatusText(text);
    shown_.SetStatusText(text);
  }
  void SetProgressMin(float min) override {
    recorded_.SetProgressMin(min);
    shown_.SetProgressMin(min);
  }
  void SetProgressMax(float max) override {
    recorded_.SetProgressMax(max);
    shown_.SetProgressMax(max);
  }
  void SetProgressValue(float value) override {
    recorded_.SetProgressValue(value);
    shown_.SetProgressValue(value);
  }
  void CloseWindow() override {
    recorded_.CloseWindow();
    shown_.CloseWindow();
  }

  sim::RecordingWindow& recorded() { return recorded_; }

 private:
  protocol::WindowOperations& shown_;
  sim::RecordingWindow recorded_;
};

// Everything the page keeps while it is open.
class Updater {
 public:
  Updater(const firmware::Images& images, const sim::Scenario* demo)
      : images_(images),
        demo_(demo != nullptr ? std::make_unique<sim::DemoRemote>(*demo) : nullptr),
        window_([this](protocol::WindowOperations& shown) { return Run(shown); }, Program,
                demo != nullptr ? shell::DemoWindowTitle : shell::WindowTitle) {}

  shell::web::PageWindow& window() { return window_; }

  // The last run as corvane-sim writes one down: every write, then what the
  // window was told.
  std::string Transcript() const { return sim::TranscriptText(transcript_); }

 private:
  protocol::RunResult Run(protocol::WindowOperations& shown) {
    transcript_.clear();
    ShownAndRecorded window(shown, transcript_);
    link::Backend& backend = demo_ ? demo_->backend() : usb_;
    return shell::UpdateKeptAwake(backend, images_, Program, window,
                                  window.recorded().WriteTrace());
  }

  firmware::Images images_;
  std::unique_ptr<sim::DemoRemote> demo_;
  link::WebUsbBackend usb_;
  std::vector<std::string> transcript_;
  shell::web::PageWindow window_;
};

std::unique_ptr<Updater> updater;

}  // namespace

int main(int argc, char** argv) {
  PageAbout(shell::VersionText(Program).c_str());
  const auto images =
      shell::EmbeddedImages(Program, [](const std::string& line) { PageAbout(line.c_str()); });
  if (!images) {
    return shell::ImagesRefusedStatus;
  }
  const sim::Scenario* demo = nullptr;
  if (argc == 2) {
    demo = sim::FindScenario(argv[1]);
    PageScenarios(sim::ScenarioList().c_str(), argv[1], demo != nullptr);
    if (demo == nullptr) {
      return 0;  // the page lists the scenarios there are instead
    }
  }
  updater = std::make_unique<Updater>(*images, demo);
  return 0;
}

extern "C" {

EMSCRIPTEN_KEEPALIVE void corvane_start() {
  updater->window().Start();
}

EMSCRIPTEN_KEEPALIVE void corvane_exit() {
  updater->window().Exit();
}

// The last run's transcript, as a test of the page reads it.
EMSCRIPTEN_KEEPALIVE const char* corvane_transcript() {
  static std::string text;
  text = updater->Transcript();
  return text.c_str();
}
}
