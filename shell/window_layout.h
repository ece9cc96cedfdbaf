// The updater window's layout: title, client size, and the six controls in
// tab order. The Win32 and the Qt window are both built from this table.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace corvane::shell {

inline constexpr std::string_view WindowTitle = "Corvane Firmware Updater(D00I)";
// The demos' title, so that nobody takes the simulated remote for theirs:
// it starts with what it is, and is short enough for a narrow title bar
// to show whole.
inline constexpr std::string_view DemoWindowTitle = "Demo - Corvane Firmware Updater";

// Sizes are in twips (1/1440 inch); each is a whole number of pixels at 96
// dots per inch.
inline constexpr int TwipsPerInch = 1440;
inline constexpr int DesignDpi = 96;
inline constexpr int ClientWidthTwips = 5910;
inline constexpr int ClientHeightTwips = 3540;

// Twips to pixels at the screen's dots per inch, rounded to the nearest.
constexpr int TwipsToPixels(int twips, int dpi) {
  return (twips * dpi + TwipsPerInch / 2) / TwipsPerInch;
}

enum class ControlKind { PushButton, GroupBox, StaticText, ProgressBar };

enum class ControlId { StartButton, ExitButton, Frame, Instruction, Progress, Status };

struct Control {
  ControlId id;
  std::string_view name;
  ControlKind kind;
  std::string_view text;
  // Left and top are relative to the client area, or to the group box's
  // outer top-left corner for the controls inside it.
  int left;
  int top;
  int width;
  int height;
  bool insideFrame;
};

// In tab order: the first takes the focus when the window opens.
inline constexpr std::array<Control, 6> Controls{{
    {ControlId::StartButton, "startBT", ControlKind::PushButton, "Start", 360, 2760, 1575, 375,
     false},
    {ControlId::ExitButton, "exitBT", ControlKind::PushButton, "Exit", 3960, 2880, 1575, 375,
     false},
    {ControlId::Frame, "Frame1", ControlKind::GroupBox, "Download Status", 360, 960, 5175, 1575,
     false},
    {ControlId::Instruction, "Label1", ControlKind::StaticText,
     "Make sure remote is connected.  And don't unplug the remote during updating.", 360, 240, 5295,
     735, false},
    {ControlId::Progress, "ProgressBar1", ControlKind::ProgressBar, "", 120, 960, 4935, 375, true},
    {ControlId::Status, "Label2", ControlKind::StaticText, "", 480, 360, 3975, 375, true},
}};

// The control's place in the table, which is also its place in the tab
// order and the z-order.
constexpr std::size_t ControlIndex(ControlId id) {
  for (std::size_t i = 0; i < Controls.size(); ++i) {
    if (Controls[i].id == id) {
      return i;
    }
  }
  return 0;  // every id is in the table
}

constexpr const Control& ControlFor(ControlId id) {
  return Controls[ControlIndex(id)];
}

struct TwipsRect {
  int left;
  int top;
  int width;
  int height;
};

// Where a control sits in the client area, whatever its parent.
constexpr TwipsRect ClientRect(const Control& control) {
  TwipsRect rect{control.left, control.top, control.width, control.height};
  if (control.insideFrame) {
    const Control& frame = ControlFor(ControlId::Frame);
    rect.left += frame.left;
    rect.top += frame.top;
  }
  return rect;
}

// Label1's own font; every other control keeps the toolkit's dialog font.
// Where Arial is missing, a font with the same metrics stands in.
inline constexpr std::string_view InstructionFontFace = "Arial";
inline constexpr std::string_view InstructionFontFallback = "Liberation Sans";
inline constexpr double InstructionFontPoints = 9.75;
inline constexpr int InstructionFontWeight = 400;

// ProgressBar1 at load: an empty bar from 0 to 100.
inline constexpr float ProgressMinAtLoad = 0;
inline constexpr float ProgressMaxAtLoad = 100;

}  // namespace corvane::shell
