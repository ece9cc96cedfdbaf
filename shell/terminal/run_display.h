// What shows a run to a person or a script: the run's progress and what it
// says of itself. The status text and the closing are the program's to
// show, with the outcome it knows.
#pragma once

#include "protocol/run_observer.h"
#include "protocol/window_operations.h"
#include "shell/progress_model.h"

namespace corvane::shell {

class RunDisplay : public protocol::WindowOperations, public protocol::RunObserver {
 public:
  void SetStatusText(std::string_view) override {}
  void SetProgressMin(float min) override { progress_.min = min; }
  void SetProgressMax(float max) override { progress_.max = max; }
  void CloseWindow() override {}

 protected:
  ProgressModel progress_{0, 0, 0};
};

}  // namespace corvane::shell
