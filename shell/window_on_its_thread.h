// The window's operations as a run on a thread of its own calls them: each
// reaches the window on the window's thread, in order, and has taken effect
// when it returns. Once the window is closed they do nothing. Both windows
// build on this; each says how to reach its thread and how to show things.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "protocol/window_operations.h"
#include "shell/progress_model.h"

namespace corvane::shell {

class WindowOnItsThread : public protocol::WindowOperations {
 public:
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
      running_ ? Hide() : Destroy();
    });
  }

 protected:
  // Runs `change` on the window's thread and waits for it.
  virtual void OnWindowThread(const std::function<void()>& change) = 0;
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void ShowProgress() = 0;
  virtual void Hide() = 0;
  virtual void Destroy() = 0;

  ProgressModel progress_;
  bool running_ = false;  // a run is in progress
  bool closed_ = false;

 private:
  void WhileOpen(const std::function<void()>& change) {
    OnWindowThread([&] {
      if (!closed_) {
        change();
        ShowProgress();
      }
    });
  }
};

}  // namespace corvane::shell
