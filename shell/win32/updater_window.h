// Form1 in plain Win32: the updater's one window, laid out from the control
// table, offering the status line, the progress bar and closing to a run.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string_view>

#include "shell/window_layout.h"
#include "shell/window_on_its_thread.h"

namespace corvane::shell::win32 {

class UpdaterWindow final : public WindowOnItsThread {
 public:
  // Opens the window of `program` centred on the screen with Start focused
  // and its title.
  UpdaterWindow(StartAction start, std::string_view program,
                std::string_view windowTitle = WindowTitle);
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
  void RunDroppingInput(std::function<void()> run) override;
  void ShowStatus(const std::string& text) override;
  void ShowProgress() override;
  void ShowCause(const std::string& hint, const std::string& cause) override;
  void Hide() override;
  void ShowAfterClosing(const std::string& text) override;
  void Destroy(int exitStatus) override;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls(int dpi);
  void OnCommand(int controlId);

  DWORD windowThread_ = GetCurrentThreadId();
  HWND window_ = nullptr;
  std::array<HWND, Controls.size()> controls_{};
  HFONT instructionFont_ = nullptr;
  HWND focus_ = nullptr;  // the control to give the focus back to on activation
  int exitStatus_ = 0;    // the program's, once the window goes
};

}  // namespace corvane::shell::win32
