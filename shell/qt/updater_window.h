// The updater's one window in Qt Widgets, laid out from the shared control
// table. Start runs a whole update on a thread of its own while the window
// stays alive; the run reports through the window's operations.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "protocol/outcome.h"
#include "shell/window_layout.h"
#include "shell/window_on_its_thread.h"

class QLabel;
class QMessageBox;
class QProgressBar;

namespace corvane::shell {

class UpdaterWindow final : public QWidget, public WindowOnItsThread {
 public:
  // What a click of Start runs, on a thread of its own.
  using StartAction = std::function<protocol::RunResult(protocol::WindowOperations& window)>;

  // Builds the window, centred on its screen, with the prefix before its
  // title; the caller shows it.
  explicit UpdaterWindow(StartAction start, std::string_view titlePrefix = {});

 protected:
  void closeEvent(QCloseEvent* event) override;
  void OnWindowThread(const std::function<void()>& change) override;
  void ShowStatus(const std::string& text) override;
  void ShowProgress() override;
  void Hide() override;
  void Destroy() override;

 private:
  // Makes the control's widget and wires it up; the caller places it.
  QWidget* AddControl(const Control& control, QWidget* parent);
  // Runs an update and returns once it has ended; meanwhile the window
  // paints and answers, and drops every input given to it.
  void RunUpdate();
  void ShowCause(const protocol::RunResult& result);

  StartAction start_;
  QWidget* frame_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPointer<QMessageBox> causeBox_;
};

}  // namespace corvane::shell
