// The window's side of an update that runs on a thread of its own: the run's
// start and end on the window's thread, and the window's operations as the
// run calls them. Each operation reaches the window on the window's thread,
// in order, and has taken effect when it returns; once the window is closed
// they do nothing. Both windows build on this; each says how to reach its
// thread, how to wait for the run and how to show things.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "protocol/outcome.h"
#include "protocol/window_operations.h"
#include "shell/cause_hint.h"
#include "shell/outcome_status.h"
#include "shell/progress_model.h"
#include "shell/what_to_do.h"

namespace corvane::shell {

class WindowOnItsThread : public protocol::WindowOperations {
 public:
  // What a click of Start runs, on a thread of its own.
  using StartAction = std::function<protocol::RunResult(protocol::WindowOperations& window)>;

  // `program` names the program on standard error.
  WindowOnItsThread(StartAction start, std::string_view program)
      : start_(std::move(start)), program_(program) {}

  void SetStatusText(std::string_view text) final {
    const std::string shown(text);
    WhileOpen([&] { ShowStatus(shown); });
  }
  void SetProgressMin(float min) final {
    WhileOpen([&] { progress_.min = min; });
  }
  void SetProgressMax(float max) final {
    WhileOpen([&] { progress_.max = max; });
  }
  void SetProgressValue(float value) final {
    WhileOpen([&] { progress_.value = value; });
  }
  void CloseWindow() final {
    OnWindowThread([this] {
      if (closed_) {
        return;
      }
      closed_ = true;
      // During a run the window is hidden at once and goes once the click
      // has returned.
      running_ ? Hide() : Destroy(0);
    });
  }

 protected:
  // What a click of Start does, on the window's thread: runs an update and
  // returns once it has ended.
  void RunUpdate() {
    running_ = true;
    protocol::RunResult result;
    RunDroppingInput([&] { result = start_(*this); });
    running_ = false;
    if (closed_) {
      TellWhyClosed(result.outcome);
      return;
    }
    if (const std::string hint = CauseBoxHint(result); !hint.empty()) {
      ShowCause(hint, result.cause.text);
    }
  }

  // Runs `change` on the window's thread and waits for it.
  virtual void OnWindowThread(const std::function<void()>& change) = 0;
  // Calls `run` on a thread of its own and returns once it has ended;
  // meanwhile the window paints and answers, and drops every input given
  // to it, also what queued as the run ended.
  virtual void RunDroppingInput(std::function<void()> run) = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void ShowProgress() = 0;
  // Shows what to do and the system's own words in a box that holds
  // nothing: Exit and the close box still end the program at once.
  virtual void ShowCause(const std::string& hint, const std::string& cause) = 0;
  // Shows `text` in a box of its own, titled like the window but parented
  // to nothing, and returns once it is dismissed.
  virtual void ShowAfterClosing(const std::string& text) = 0;
  virtual void Hide() = 0;
  // The window goes, and the program with it, ending with `exitStatus`.
  virtual void Destroy(int exitStatus) = 0;

  ProgressModel progress_;
  bool running_ = false;  // a run is in progress
  bool closed_ = false;

 private:
  // A window that vanishes in the middle of an update reads as done: the
  // run that closed it (hidden since) is told on standard error and in a
  // box, and the program ends with the status corvane-flash gives it.
  void TellWhyClosed(protocol::Outcome outcome) {
    const std::string text(protocol::EndingOf(outcome).text);
    std::fprintf(stderr, "%s: %s\n", program_.c_str(), text.c_str());
    std::fflush(stderr);
    ShowAfterClosing(text + "\n\n" + std::string(WhatToDo(outcome)));
    Destroy(ExitStatusOf(outcome));
  }

  void WhileOpen(const std::function<void()>& change) {
    OnWindowThread([&] {
      if (!closed_) {
        change();
        ShowProgress();
      }
    });
  }

  StartAction start_;
  std::string program_;
};

}  // namespace corvane::shell
