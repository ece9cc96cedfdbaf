// The updater window in this process, on a real display (Wine on Xvfb at
// 96 dpi): what the window looks like from outside is window_under_wine's;
// here are its controls' kinds and fonts, and its operations.

#include "shell/win32/updater_window.h"

#include "shell/what_to_do.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace corvane::shell::win32 {
namespace {

std::string Text(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// Handles what is queued, as the program's loop does; gives the exit status
// once the window ended the loop, else -1.
int Pump() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      return static_cast<int>(message.wParam);
    }
    DispatchMessageA(&message);
  }
  return -1;
}

protocol::RunResult Nothing(protocol::WindowOperations&) {
  return {protocol::Outcome::Completed, {}};
}

TEST(UpdaterWindow, ControlsHaveTheirKindTextAndFont) {
  // By kind: the class, and the style bits that matter. Only the buttons
  // are tab stops; neither is the default button; labels have no access
  // keys.
  const struct {
    const char* className;
    DWORD mask, style;
  } kinds[] = {
      {"Button", BS_TYPEMASK | WS_TABSTOP, BS_PUSHBUTTON | WS_TABSTOP},
      {"Button", BS_TYPEMASK | WS_TABSTOP, BS_GROUPBOX},
      {"Static", SS_NOPREFIX | WS_TABSTOP, SS_NOPREFIX},
      {PROGRESS_CLASSA, WS_TABSTOP, 0},
  };
  UpdaterWindow window(Nothing, "corvane-updater");
  for (const Control& entry : Controls) {
    SCOPED_TRACE(entry.name);
    HWND control = window.control(entry.id);
    const auto& kind = kinds[static_cast<int>(entry.kind)];
    char className[64] = {};
    GetClassNameA(control, className, sizeof className);
    EXPECT_STREQ(className, kind.className);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE)) & kind.mask, kind.style);
    EXPECT_EQ(Text(control), entry.text);

    const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (entry.id != ControlId::Instruction) {
      EXPECT_EQ(font, GetStockObject(DEFAULT_GUI_FONT));
      continue;
    }
    LOGFONTA logical{};
    ASSERT_EQ(GetObjectA(font, sizeof logical, &logical), int{sizeof logical});
    EXPECT_EQ(logical.lfHeight, -13);  // 9.75 pt at 96 dpi
    EXPECT_EQ(logical.lfWeight, InstructionFontWeight);
    EXPECT_TRUE(logical.lfFaceName == InstructionFontFace ||
                logical.lfFaceName == InstructionFontFallback)
        << logical.lfFaceName;
  }
}

// What the run below saw of its window after closing it.
struct {
  bool visible = true;
  bool exists = false;
  std::string status;
} seen;

protocol::RunResult RunThatClosesTheWindow(protocol::WindowOperations& operations) {
  auto& window = dynamic_cast<UpdaterWindow&>(operations);
  window.SetStatusText("shown");
  window.CloseWindow();
  window.SetStatusText("later");
  seen = {IsWindowVisible(window.handle()) != FALSE, IsWindow(window.handle()) != FALSE,
          Text(window.control(ControlId::Status))};
  return {protocol::Outcome::IdentityFailed, {}};
}

// A box then says why, parented to nothing; once a person dismisses it
// the program ends with corvane-flash's status for the outcome.
TEST(UpdaterWindow, ARunThatClosesTheWindowHidesItAtOnceSaysWhyAndEndsWithItsStatus) {
  Pump();  // the quit an earlier test's window left would end the box at once
  UpdaterWindow window(RunThatClosesTheWindow, "corvane-updater");
  HWND form = window.handle();
  // A person reads the box and presses OK: its controls' texts, a line each.
  std::string box;
  std::thread person([&box] {
    for (int tries = 0; tries < 200 && box.empty(); ++tries) {
      Sleep(50);
      if (HWND shown = FindWindowA("#32770", std::string(WindowTitle).c_str())) {
        EnumChildWindows(
            shown,
            [](HWND child, LPARAM texts) {
              *reinterpret_cast<std::string*>(texts) += Text(child) + "|";
              return TRUE;
            },
            reinterpret_cast<LPARAM>(&box));
        PostMessageA(shown, WM_COMMAND, IDOK, 0);
      }
    }
  });
  SendMessageA(window.control(ControlId::StartButton), BM_CLICK, 0, 0);
  person.join();
  EXPECT_FALSE(seen.visible);
  EXPECT_TRUE(seen.exists) << "gone only once the click has returned";
  EXPECT_EQ(seen.status, "shown") << "later operations have no effect";
  const auto outcome = protocol::Outcome::IdentityFailed;
  EXPECT_NE(box.find(std::string(protocol::EndingOf(outcome).text) + "\n\n" +
                     std::string(WhatToDo(outcome)) + "|"),
            std::string::npos)
      << box;
  EXPECT_FALSE(IsWindow(form));
  EXPECT_EQ(Pump(), 5);
}

int runs = 0;
LRESULT sessionEndDuringRun = -1;

// Meanwhile a click on Start and one on Exit, the space bar on Start, and
// the close box arrive as a person's do: queued.
protocol::RunResult RunWithInputMeanwhile(protocol::WindowOperations& operations) {
  auto& window = dynamic_cast<UpdaterWindow&>(operations);
  ++runs;
  HWND start = window.control(ControlId::StartButton);
  for (HWND button : {start, window.control(ControlId::ExitButton)}) {
    PostMessageA(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(4, 4));
    PostMessageA(button, WM_LBUTTONUP, 0, MAKELPARAM(4, 4));
  }
  PostMessageA(start, WM_KEYDOWN, VK_SPACE, 0);
  PostMessageA(start, WM_KEYUP, VK_SPACE, 0);
  // The close box, as the window's frame reports a click on it.
  PostMessageA(window.handle(), WM_NCLBUTTONDOWN, HTCLOSE, 0);
  PostMessageA(window.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  // The session may not end during a run.
  sessionEndDuringRun = SendMessageA(window.handle(), WM_QUERYENDSESSION, 0, 0);
  window.SetStatusText("Send completed");
  return {protocol::Outcome::Completed, {}};
}

TEST(UpdaterWindow, InputGivenDuringARunIsDroppedAndTheSessionWaitsForIt) {
  UpdaterWindow window(RunWithInputMeanwhile, "corvane-updater");
  SendMessageA(window.control(ControlId::StartButton), BM_CLICK, 0, 0);
  EXPECT_EQ(Pump(), -1);
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(sessionEndDuringRun, FALSE);
  EXPECT_EQ(SendMessageA(window.handle(), WM_QUERYENDSESSION, 0, 0), TRUE) << "after the run";
  ASSERT_TRUE(IsWindowVisible(window.handle()));
  EXPECT_EQ(Text(window.control(ControlId::Status)), "Send completed");
}

// Exit is clicked from outside, in window_under_wine.
TEST(UpdaterWindow, TheCloseBoxEndsTheProgramWithStatusZero) {
  UpdaterWindow window(Nothing, "corvane-updater");
  SendMessageA(window.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(window.handle(), nullptr);
  EXPECT_EQ(Pump(), 0);
}

}  // namespace
}  // namespace corvane::shell::win32
