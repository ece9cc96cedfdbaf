// The updater's one window in Qt Widgets, laid out from the shared control
// table. Start runs a whole update on a thread of its own while the window
// stays alive; the run reports through the window's operations.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "protocol/outcome.h"
#include "protocol/window_operations.h"
#include "shell/progress_model.h"
#include "shell/window_layout.h"

class QLabel;
class QMessageBox;
class QProgressBar;

namespace corvane::shell {

class UpdaterWindow final : public QWidget, public protocol::WindowOperations {
 public:
  // What a click of Start runs, on a thread of its own.
  using StartAction = std::function<protocol::RunResult(protocol::WindowOperations& window)>;

  // Builds the window, centred on its screen, with the prefix before its
  // title; the caller shows it.
  explicit UpdaterWindow(StartAction start, std::string_view titlePrefix = {});

  // Called from the run's thread: each reaches the window on the window's
  // thread, in order, and has taken effect when it returns.
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
  // Runs an update and returns once it has ended; meanwhile the window
  // paints and answers, and drops every input given to it.
  void RunUpdate();
  // Runs `change` on the window's thread and waits for it.
  void OnWindowThread(const std::function<void()>& change);
  void ShowCause(const protocol::RunResult& result);

  StartAction start_;
  QWidget* frame_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPointer<QMessageBox> causeBox_;
  ProgressModel progress_;
  bool running_ = false;
  bool closed_ = false;
};

}  // namespace corvane::shell
