// The updater's one window in Qt Widgets, laid out from the shared control
// table. Start runs a whole update on a thread of its own while the window
// stays alive; the run reports through the window's operations.
#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "shell/window_layout.h"
#include "shell/window_on_its_thread.h"

class QLabel;
class QMessageBox;
class QProgressBar;

namespace corvane::shell {

class UpdaterWindow final : public QWidget, public WindowOnItsThread {
 public:
  // Builds the window of `program`, centred on its screen, with its title;
  // the caller shows it.
  UpdaterWindow(StartAction start, std::string_view program, std::string_view title = WindowTitle);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void OnWindowThread(const std::function<void()>& change) override;
  void RunDroppingInput(std::function<void()> run) override;
  void ShowStatus(const std::string& text) override;
  void ShowProgress() override;
  void ShowCause(const std::string& hint, const std::string& cause) override;
  void Hide() override;
  void ShowAfterClosing(const std::string& text) override;
  void Destroy(int exitStatus) override;

 private:
  // Makes the control's widget and wires it up; the caller places it.
  QWidget* AddControl(const Control& control, QWidget* parent);

  QWidget* frame_ = nullptr;
  QLabel* status_ = nullptr;
  QProgressBar* bar_ = nullptr;
  QPointer<QMessageBox> causeBox_;
};

}  // namespace corvane::shell
