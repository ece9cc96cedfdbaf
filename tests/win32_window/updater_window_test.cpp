// The updater window in this process, on a real display (Wine on Xvfb at
// 96 dpi): its layout, its operations and its two buttons.

#include <gtest/gtest.h>

#include "shell/win32/updater_window.h"

#include <commctrl.h>

#include <cmath>
#include <cstring>
#include <string>

#include "link/device_link.h"
#include "protocol/status_texts.h"
#include "protocol/update_run.h"
#include "shell/images.h"
#include "sim/scenarios.h"

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

// Handles what is queued, as the program's loop does; true when the window
// ended the loop, with the exit status.
bool Pump(const UpdaterWindow& window, int* exitStatus = nullptr) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      if (exitStatus != nullptr) {
        *exitStatus = static_cast<int>(message.wParam);
      }
      return true;
    }
    if (window.handle() == nullptr || !IsDialogMessageA(window.handle(), &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return false;
}

void Click(const UpdaterWindow& window, ControlId button) {
  SendMessageA(window.control(button), BM_CLICK, 0, 0);
}

// A closed window leaves its quit message behind.
void DropQueued() {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
  }
}

class UpdaterWindowTest : public testing::Test {
 protected:
  void TearDown() override { DropQueued(); }
};

int starts = 0;
void CountStart(WindowOperations&) {
  ++starts;
}

TEST_F(UpdaterWindowTest, OpensCentredWithTitleClientSizeFocusAndTheMainImage) {
  HDC screen = GetDC(nullptr);
  ASSERT_EQ(GetDeviceCaps(screen, LOGPIXELSY), DesignDpi) << "the display must run at 96 dpi";
  ReleaseDC(nullptr, screen);

  UpdaterWindow window(CountStart);
  Pump(window);
  HWND form = window.handle();
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(Text(form), WindowTitle);
  EXPECT_TRUE(IsWindowVisible(form));
  EXPECT_NE(GetClassLongPtrA(form, GCLP_HICONSM), 0u) << "the program's icon";

  RECT client;
  GetClientRect(form, &client);
  EXPECT_EQ(client.right, 394);
  EXPECT_EQ(client.bottom, 236);

  // Fixed single border, close box only.
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(form, GWL_STYLE));
  EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), DWORD{WS_CAPTION | WS_SYSMENU});
  EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);

  RECT outer;
  GetWindowRect(form, &outer);
  EXPECT_LE(std::abs(outer.left + outer.right - GetSystemMetrics(SM_CXSCREEN)), 1);
  EXPECT_LE(std::abs(outer.top + outer.bottom - GetSystemMetrics(SM_CYSCREEN)), 1);

  EXPECT_EQ(GetFocus(), window.control(ControlId::StartButton));
  EXPECT_EQ(MainImage.size(), 78336u);
  EXPECT_EQ(MainImageSize, 78336);
  EXPECT_EQ(starts, 0);  // nothing runs before Start
}

TEST_F(UpdaterWindowTest, ControlsSitWhereTheTableSaysInTabOrder) {
  UpdaterWindow window(CountStart);
  HWND form = window.handle();
  HFONT dialogFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));

  HWND child = GetWindow(form, GW_CHILD);  // the top of the z-order, first in tab order
  for (const Control& entry : Controls) {
    SCOPED_TRACE(entry.name);
    HWND control = window.control(entry.id);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(child, control);
    child = GetWindow(child, GW_HWNDNEXT);

    const auto style = static_cast<DWORD>(GetWindowLongPtrA(control, GWL_STYLE));
    switch (entry.kind) {
      case ControlKind::PushButton:
        EXPECT_EQ(ClassOf(control), "Button");
        EXPECT_EQ(style & BS_TYPEMASK, DWORD{BS_PUSHBUTTON});  // never the default button
        break;
      case ControlKind::GroupBox:
        EXPECT_EQ(ClassOf(control), "Button");
        EXPECT_EQ(style & BS_TYPEMASK, DWORD{BS_GROUPBOX});
        break;
      case ControlKind::StaticText:
        EXPECT_EQ(ClassOf(control), "Static");
        EXPECT_NE(style & SS_NOPREFIX, 0u);  // no access keys
        break;
      case ControlKind::ProgressBar:
        EXPECT_EQ(ClassOf(control), PROGRESS_CLASSA);
        EXPECT_EQ(SendMessageA(control, PBM_GETPOS, 0, 0), 0);
        break;
    }
    EXPECT_EQ((style & WS_TABSTOP) != 0, entry.kind == ControlKind::PushButton);
    EXPECT_EQ(Text(control), entry.text);

    RECT at;
    GetWindowRect(control, &at);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&at), 2);
    const TwipsRect expected = ClientRect(entry);
    EXPECT_EQ(at.left, TwipsToPixels(expected.left, DesignDpi));
    EXPECT_EQ(at.top, TwipsToPixels(expected.top, DesignDpi));
    EXPECT_EQ(at.right - at.left, TwipsToPixels(expected.width, DesignDpi));
    EXPECT_EQ(at.bottom - at.top, TwipsToPixels(expected.height, DesignDpi));

    const auto font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (entry.id == ControlId::Instruction) {
      LOGFONTA logical{};
      ASSERT_EQ(GetObjectA(font, sizeof logical, &logical), int{sizeof logical});
      EXPECT_EQ(logical.lfHeight, -13);  // 9.75 pt at 96 dpi
      EXPECT_EQ(logical.lfWeight, 400);
      EXPECT_FALSE(logical.lfItalic || logical.lfUnderline || logical.lfStrikeOut);
      EXPECT_EQ(logical.lfCharSet, ANSI_CHARSET);
      EXPECT_TRUE(logical.lfFaceName == InstructionFontFace ||
                  logical.lfFaceName == InstructionFontFallback)
          << logical.lfFaceName;
    } else {
      EXPECT_EQ(font, dialogFont);
    }
  }
  EXPECT_EQ(child, nullptr);

  // Tab goes round the two buttons.
  HWND start = window.control(ControlId::StartButton);
  HWND exit = window.control(ControlId::ExitButton);
  EXPECT_EQ(GetNextDlgTabItem(form, start, FALSE), exit);
  EXPECT_EQ(GetNextDlgTabItem(form, exit, FALSE), start);
}

TEST_F(UpdaterWindowTest, TabMovesTheFocusWhileEnterAndEscapeDoNothing) {
  starts = 0;
  UpdaterWindow window(CountStart);
  Pump(window);
  HWND start = window.control(ControlId::StartButton);
  ASSERT_EQ(GetFocus(), start);
  for (const WPARAM key : {WPARAM{VK_RETURN}, WPARAM{VK_ESCAPE}}) {
    PostMessageA(start, WM_KEYDOWN, key, 0);
    PostMessageA(start, WM_KEYUP, key, 0);
    EXPECT_FALSE(Pump(window)) << "key " << key;
  }
  EXPECT_EQ(starts, 0);
  EXPECT_TRUE(IsWindowVisible(window.handle()));

  PostMessageA(start, WM_KEYDOWN, VK_TAB, 0);
  Pump(window);
  EXPECT_EQ(GetFocus(), window.control(ControlId::ExitButton));
}

TEST_F(UpdaterWindowTest, ProgressShowsTheFillAtOnceWhateverTheRange) {
  struct Step {
    const char* what;
    float min, max, value;
    double fill;
  };
  // Applied one after another, as runs set them: Min, Max, then Value. How
  // odd ranges fill is the progress model's matter, tested with it.
  const Step steps[] = {
      {"a first block", 0, 78336, 4096, 4096.0 / 78336},
      {"the last block", 0, 78336, 78336, 1},
      {"a loader run's main transfer", 0, 95744, 90000, 90000.0 / 95744},
      {"Max set below the Value left behind", 0, 78336, 90000, 1},
      {"back to empty after success", 0, 78336, 0, 0},
  };
  UpdaterWindow window(CountStart);
  HWND bar = window.control(ControlId::Progress);
  PBRANGE range{};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    window.SetProgressMin(step.min);
    window.SetProgressMax(step.max);
    window.SetProgressValue(step.value);
    SendMessageA(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
    const auto position = SendMessageA(bar, PBM_GETPOS, 0, 0);
    // The top of the range is one step past full.
    EXPECT_NEAR(static_cast<double>(position) / (range.iHigh - 1), step.fill, 1e-4);
    EXPECT_FALSE(GetUpdateRect(bar, nullptr, FALSE)) << "drawn at once, without the loop";
  }
}

TEST_F(UpdaterWindowTest, StatusLineShowsEachTextExactlyAndAtOnce) {
  UpdaterWindow window(CountStart);
  HWND status = window.control(ControlId::Status);
  EXPECT_EQ(Text(status), "");
  for (std::string_view text :
       {protocol::NoDeviceText, protocol::ProbeFailedText, protocol::IdentityFailedText,
        protocol::BlockReplyFailedText, protocol::CompletedText}) {
    window.SetStatusText(text);
    EXPECT_EQ(Text(status), text);
    EXPECT_FALSE(GetUpdateRect(status, nullptr, FALSE)) << text;
  }
}

TEST_F(UpdaterWindowTest, ExitAndTheCloseBoxCloseAtOnceWithStatusZero) {
  for (const bool closeBox : {false, true}) {
    SCOPED_TRACE(closeBox ? "close box" : "Exit");
    UpdaterWindow window(CountStart);
    HWND form = window.handle();
    if (closeBox) {
      SendMessageA(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    } else {
      Click(window, ControlId::ExitButton);
    }
    EXPECT_FALSE(IsWindow(form));
    int status = -1;
    EXPECT_TRUE(Pump(window, &status));
    EXPECT_EQ(status, 0);
  }
}

// What the run below saw of its window after closing it.
struct SeenAfterClose {
  bool visible = true;
  bool exists = false;
  std::string status;
  LRESULT position = -1;
};
SeenAfterClose seen;

void RunThatClosesTheWindow(WindowOperations& operations) {
  auto& window = dynamic_cast<UpdaterWindow&>(operations);
  window.SetStatusText(protocol::IdentityFailedText);
  window.CloseWindow();
  window.SetStatusText(protocol::CompletedText);
  window.SetProgressValue(50);
  window.CloseWindow();
  seen.visible = IsWindowVisible(window.handle());
  seen.exists = IsWindow(window.handle());
  seen.status = Text(window.control(ControlId::Status));
  seen.position = SendMessageA(window.control(ControlId::Progress), PBM_GETPOS, 0, 0);
}

TEST_F(UpdaterWindowTest, ARunThatClosesTheWindowHidesItAtOnceAndEndsAfterTheClick) {
  UpdaterWindow window(RunThatClosesTheWindow);
  HWND form = window.handle();
  Click(window, ControlId::StartButton);
  EXPECT_FALSE(seen.visible);
  EXPECT_TRUE(seen.exists) << "gone only once the click has returned";
  EXPECT_EQ(seen.status, protocol::IdentityFailedText) << "later operations have no effect";
  EXPECT_EQ(seen.position, 0);
  EXPECT_FALSE(IsWindow(form));
  int status = -1;
  EXPECT_TRUE(Pump(window, &status));
  EXPECT_EQ(status, 0);
}

TEST_F(UpdaterWindowTest, StartRunsAWholeUpdateInsideTheClick) {
  struct Case {
    std::string_view scenario;
    std::string_view status;  // shown, when the window stays
    bool staysOpen;
  };
  const Case cases[] = {
      {"direct", protocol::CompletedText, true},
      {"no-remote", protocol::NoDeviceText, true},
      {"probe-nak", protocol::ProbeFailedText, true},
      {"loader-empty", protocol::BlockReplyFailedText, true},
      {"identity-bad-echo", protocol::IdentityFailedText, false},
      {"block-silent", protocol::BlockReplyFailedText, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scenario);
    const sim::Scenario* scenario = sim::FindScenario(c.scenario);
    ASSERT_NE(scenario, nullptr);
    sim::VirtualClock clock;
    sim::World world(clock);
    scenario->setUp(world);
    link::UsePlatform(world.platform);

    {
      UpdaterWindow window(protocol::UpdateFirmware);
      HWND status = window.control(ControlId::Status);
      Click(window, ControlId::StartButton);
      EXPECT_EQ(window.handle() != nullptr, c.staysOpen);
      if (c.staysOpen) {
        EXPECT_EQ(Text(status), c.status);
        EXPECT_FALSE(Pump(window));
      }
    }
    EXPECT_EQ(world.platform.OpenHandles(), 0);
    DropQueued();
  }
}

}  // namespace
}  // namespace corvane::shell::win32
