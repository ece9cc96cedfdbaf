// The updater window in this process, on a real display (Wine on Xvfb at
// 96 dpi): what the window looks like from outside is window_under_wine's;
// here are its controls' kinds and fonts, and its operations.

#include "shell/win32/updater_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

namespace corvane::shell::win32 {
namespace {

std::string Text(HWND window) {
  char text[256] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ClassOf(HWND window) {
  char name[64] = {};
  GetClassNameA(window, name, sizeof name);
  return name;
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

protocol::Outcome Nothing(protocol::WindowOperations&) {
  return protocol::Outcome::Completed;
}

TEST(UpdaterWindow, ControlsHaveTheirKindTextFontAndTabOrder) {
  UpdaterWindow window(Nothing);
  HWND form = window.handle();
  const auto dialogFont = reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT));
  HWND child = GetWindow(form, GW_CHILD);  // the top of the z-order, first in tab order
  for (const Control& entry : Controls) {
    SCOPED_TRACE(entry.name);
    HWND control = window.control(entry.id);
    EXPECT_EQ(child, control);
    child = GetWindow(child, GW_HWNDNEXT);
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE));
    const struct {
      const char* className;
      DWORD mask, style;
    } kinds[] = {
        {"Button", BS_TYPEMASK, BS_PUSHBUTTON},  // never the default button
        {"Button", BS_TYPEMASK, BS_GROUPBOX},
        {"Static", SS_NOPREFIX, SS_NOPREFIX},  // no access keys
        {PROGRESS_CLASSA, 0, 0},
    };
    const auto& kind = kinds[static_cast<int>(entry.kind)];
    EXPECT_EQ(ClassOf(control), kind.className);
    EXPECT_EQ(style & kind.mask, kind.style);
    EXPECT_EQ((style & WS_TABSTOP) != 0, entry.kind == ControlKind::PushButton);
    EXPECT_EQ(Text(control), entry.text);

    const auto font = static_cast<WPARAM>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (entry.id != ControlId::Instruction) {
      EXPECT_EQ(font, dialogFont);
      continue;
    }
    LOGFONTA logical{};
    ASSERT_EQ(GetObjectA(reinterpret_cast<HFONT>(font), sizeof logical, &logical),
              int{sizeof logical});
    EXPECT_EQ(logical.lfHeight, -13);  // 9.75 pt at 96 dpi
    EXPECT_EQ(logical.lfWeight, InstructionFontWeight);
    EXPECT_FALSE(logical.lfItalic || logical.lfUnderline || logical.lfStrikeOut);
    EXPECT_TRUE(logical.lfFaceName == InstructionFontFace ||
                logical.lfFaceName == InstructionFontFallback)
        << logical.lfFaceName;
  }
  EXPECT_EQ(child, nullptr);
  HWND start = window.control(ControlId::StartButton);
  HWND exit = window.control(ControlId::ExitButton);
  EXPECT_EQ(GetNextDlgTabItem(form, start, FALSE), exit);
  EXPECT_EQ(GetNextDlgTabItem(form, exit, FALSE), start);
}

// A run pumps no messages: whatever it shows must be drawn at once.
TEST(UpdaterWindow, ShowsEveryStatusAndProgressAtOnce) {
  UpdaterWindow window(Nothing);
  HWND status = window.control(ControlId::Status);
  for (const protocol::Ending& ending : protocol::Endings) {
    window.SetStatusText(ending.text);
    EXPECT_EQ(Text(status), ending.text);
    EXPECT_FALSE(GetUpdateRect(status, nullptr, FALSE)) << ending.text;
  }
  // Min, Max, then Value, as runs set them; odd ranges are the progress
  // model's to test.
  const struct {
    float max, value;
    double fill;
  } steps[] = {{78336, 4096, 4096.0 / 78336}, {95744, 90000, 90000.0 / 95744}, {78336, 0, 0}};
  HWND bar = window.control(ControlId::Progress);
  for (const auto& step : steps) {
    window.SetProgressMin(0);
    window.SetProgressMax(step.max);
    window.SetProgressValue(step.value);
    PBRANGE range{};
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    const auto position = SendMessageA(bar, PBM_GETPOS, 0, 0);
    // The top of the range is one step past full.
    EXPECT_NEAR(static_cast<double>(position) / (range.iHigh - 1), step.fill, 1e-4);
    EXPECT_FALSE(GetUpdateRect(bar, nullptr, FALSE)) << step.value;
  }
}

// What the run below saw of its window after closing it.
struct SeenAfterClose {
  bool visible = true;
  bool exists = false;
  std::string status;
  LRESULT position = -1;
} seen;

protocol::Outcome RunThatClosesTheWindow(protocol::WindowOperations& operations) {
  auto& window = dynamic_cast<UpdaterWindow&>(operations);
  const auto& identity = protocol::EndingOf(protocol::Outcome::IdentityFailed);
  window.SetStatusText(identity.text);
  window.CloseWindow();
  window.SetStatusText("later");
  window.SetProgressValue(50);
  window.CloseWindow();
  seen = {IsWindowVisible(window.handle()) != FALSE, IsWindow(window.handle()) != FALSE,
          Text(window.control(ControlId::Status)),
          SendMessageA(window.control(ControlId::Progress), PBM_GETPOS, 0, 0)};
  return identity.outcome;
}

TEST(UpdaterWindow, ARunThatClosesTheWindowHidesItAtOnceAndEndsAfterTheClick) {
  UpdaterWindow window(RunThatClosesTheWindow);
  HWND form = window.handle();
  SendMessageA(window.control(ControlId::StartButton), BM_CLICK, 0, 0);
  EXPECT_FALSE(seen.visible);
  EXPECT_TRUE(seen.exists) << "gone only once the click has returned";
  EXPECT_EQ(seen.status, protocol::EndingOf(protocol::Outcome::IdentityFailed).text)
      << "later operations have no effect";
  EXPECT_EQ(seen.position, 0);
  EXPECT_FALSE(IsWindow(form));
  EXPECT_EQ(Pump(), 0);
}

// Exit is clicked from outside, in window_under_wine.
TEST(UpdaterWindow, TheCloseBoxEndsTheProgramWithStatusZero) {
  UpdaterWindow window(Nothing);
  SendMessageA(window.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(window.handle(), nullptr);
  EXPECT_EQ(Pump(), 0);
}

}  // namespace
}  // namespace corvane::shell::win32
