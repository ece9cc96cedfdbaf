// Form1 in plain Win32: the updater's one window, laid out from the control
// table, offering the status line, the progress bar and closing to a run.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string_view>

#include "protocol/outcome.h"
#include "protocol/window_operations.h"
#include "shell/progress_model.h"
#include "shell/window_layout.h"

namespace corvane::shell::win32 {

class UpdaterWindow final : public protocol::WindowOperations {
 public:
  // What a click of Start runs, on a thread of its own.
  using StartAction = std::function<protocol::RunResult(protocol::WindowOperations& window)>;

  // Opens the window centred on the screen with Start focused and the prefix
  // before its title.
  explicit UpdaterWindow(StartAction start, std::string_view titlePrefix = {});
  ~UpdaterWindow() override;
  UpdaterWindow(const UpdaterWindow&) = delete;
  UpdaterWindow& operator=(const UpdaterWindow&) = delete;

  // Handles messages until the window is closed; gives the exit status.
  int Run();

  // The window and its controls; null once the window is gone.
  HWND handle() const { return window_; }
  HWND control(ControlId id) const;

  // Called from the run's thread: each reaches the window on the window's
  // thread, in order, and has taken effect when it returns.
  void SetStatusText(std::string_view text) override;
  void SetProgressMin(float min) override;
  void SetProgressMax(float max) override;
  void SetProgressValue(float value) override;
  void CloseWindow() override;

 private:
  static DWORD WINAPI RunThread(void* window);
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls(int dpi);
  void OnCommand(int controlId);
  // Runs an update and returns once it has ended; meanwhile the window
  // paints and answers the system, and drops every input given to it.
  void RunUpdate();
  // Runs `change` on the window's thread and waits for it.
  void OnWindowThread(const std::function<void()>& change);
  void ShowProgress();

  StartAction start_;
  DWORD windowThread_ = GetCurrentThreadId();
  protocol::RunResult result_;  // of the run in progress
  HWND window_ = nullptr;
  std::array<HWND, Controls.size()> controls_{};
  HFONT instructionFont_ = nullptr;
  HWND focus_ = nullptr;  // the control to give the focus back to on activation
  ProgressModel progress_;
  bool running_ = false;
  bool closed_ = false;
};

}  // namespace corvane::shell::win32
