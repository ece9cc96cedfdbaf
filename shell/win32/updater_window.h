// Form1 in plain Win32: the updater's one window, laid out from the control
// table, offering the status line, the progress bar and closing to a run.
#pragma once

#include <windows.h>

#include <array>
#include <string_view>

#include "protocol/outcome.h"
#include "protocol/window_operations.h"
#include "shell/progress_model.h"
#include "shell/window_layout.h"

namespace corvane::shell::win32 {

class UpdaterWindow final : public protocol::WindowOperations {
 public:
  // What a click of Start runs; the programs pass protocol::UpdateFirmware.
  using StartAction = protocol::Outcome (*)(protocol::WindowOperations& window);

  // Opens the window centred on the screen with Start focused and the prefix
  // before its title. The main image is loaded before.
  explicit UpdaterWindow(StartAction start, std::string_view titlePrefix = {});
  ~UpdaterWindow() override;
  UpdaterWindow(const UpdaterWindow&) = delete;
  UpdaterWindow& operator=(const UpdaterWindow&) = delete;

  // Handles messages until the window is closed; gives the exit status.
  int Run();

  // The window and its controls; null once the window is gone.
  HWND handle() const { return window_; }
  HWND control(ControlId id) const;

  void SetStatusText(std::string_view text) override;
  void SetProgressMin(float min) override;
  void SetProgressMax(float max) override;
  void SetProgressValue(float value) override;
  void CloseWindow() override;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void CreateControls(int dpi);
  void OnCommand(int controlId);
  void ShowProgress();

  StartAction start_;
  HWND window_ = nullptr;
  std::array<HWND, Controls.size()> controls_{};
  HFONT instructionFont_ = nullptr;
  HWND focus_ = nullptr;  // the control to give the focus back to on activation
  ProgressModel progress_;
  bool inStartClick_ = false;
  bool closed_ = false;
};

}  // namespace corvane::shell::win32
