// The updater's one window in Qt Widgets, laid out from the shared control
// table. Start runs a whole update inside its click; the run reports through
// the window's operations.
#pragma once

#include <QWidget>

#include "protocol/window_operations.h"
#include "shell/progress_model.h"
#include "shell/window_layout.h"

class QLabel;
class QProgressBar;

namespace corvane::shell {

class UpdaterWindow final : public QWidget, public protocol::WindowOperations {
 public:
  // Builds the window, centred on its screen, with the prefix before its
  // title; the caller loads the main image before and shows the window.
  explicit UpdaterWindow(std::string_view titlePrefix = {});

  void SetStatusText(std::string_view text) override;
  void SetProgressMin(float min) override;
  void SetProgressMax(float max) override;
  void SetProgressValue(float value) override;
  void CloseWindow() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // Makes the control's widget and wires it up; the caller places it.
  QWidget* AddControl(const Control& control, QWidget* parent);
  void ShowProgress();
  // Runs an update, then drops the input that came meanwhile.
  void RunUpdate();

  QWidget* frame_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* bar_ = nullptr;
  ProgressModel progress_;
  bool closed_ = false;
};

}  // namespace corvane::shell
