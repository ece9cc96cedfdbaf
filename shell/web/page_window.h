// The updater's window as a web page: the controls of the shared table
// drawn by the page's script (web/page.js), and the run on the page's one
// thread, which Asyncify suspends at every wait so that the page stays
// alive. A page cannot close itself: where a window goes, the page's session
// ends instead; its status stays, its buttons go, and a line offers to start
// the updater again.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "shell/window_on_its_thread.h"

namespace corvane::shell::web {

class PageWindow final : public WindowOnItsThread {
 public:
  // Draws the window of `program` with its title.
  PageWindow(StartAction start, std::string_view program, std::string_view title);

  // What the page's Start and Exit do; the page drops both during a run.
  void Start() { RunUpdate(); }
  void Exit() { CloseWindow(); }

 protected:
  // The page has one thread.
  void OnWindowThread(const std::function<void()>& change) override { change(); }
  // The page itself drops input from the click of Start until the run has
  // returned: a browser queues none for later.
  void RunDroppingInput(std::function<void()> run) override { run(); }
  void ShowStatus(const std::string& text) override;
  void ShowProgress() override;
  void ShowCause(const std::string& hint, const std::string& cause) override;
  void ShowAfterClosing(const std::string& text) override;
  void Hide() override;
  void Destroy(int exitStatus) override;

 private:
  std::string title_;
};

}  // namespace corvane::shell::web
