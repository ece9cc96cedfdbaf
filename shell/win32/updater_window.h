// Form1 in plain Win32: the updater's one window, laid out from the control
// table, offering the status line, the progress bar and closing to a run.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string_view>

#include "protocol/outcome.h"
#include "shell/window_layout.h"
#include "shell/window_on_its_thread.h"

namespace corvane::shell::win32 {

class UpdaterWindow final : public WindowOnItsThread {
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

 protected:
  void OnWindowThread(const std::function<void()>& change) override;
  void ShowStatus(const std::string& text) override;
  void ShowProgress() override;
  void Hide() override;
  void Destroy() override;

 private:
  static DWORD WINAPI RunThread(void* window);
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls(int dpi);
  void OnCommand(int controlId);
  // Runs an update and returns once it has ended; meanwhile the window
  // paints and answers the system, and drops every input given to it.
  void RunUpdate();

  StartAction start_;
  DWORD windowThread_ = GetCurrentThreadId();
  protocol::RunResult result_;  // of the run in progress
  HWND window_ = nullptr;
  std::array<HWND, Controls.size()> controls_{};
  HFONT instructionFont_ = nullptr;
  HWND focus_ = nullptr;  // the control to give the focus back to on activation
};

}  // namespace corvane::shell::win32
