// window_probe: looks at the running updater's window from another process,
// as a person at the screen would, for the scripts that drive it.
//
//   window_probe layout   waits for the window, checks its client size, its
//                         place and border, and every control's place
//                         against the table at 96 dpi,
//                         prints "<name> <left> <top> <right> <bottom>":
//                         each control's place on the screen
//   window_probe status   prints Label2's text

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "shell/window_layout.h"

namespace {

using corvane::shell::ClientRect;
using corvane::shell::ControlIndex;
using corvane::shell::Controls;
using corvane::shell::TwipsRect;

constexpr int WaitForWindowMs = 20000;
constexpr int TwipsPerPixel = 15;  // at 96 dpi

HWND FindUpdaterWindow(int waitMs) {
  const std::string title(corvane::shell::WindowTitle);
  for (int waited = 0;; waited += 50) {
    HWND window = FindWindowA(nullptr, title.c_str());
    if (window != nullptr && IsWindowVisible(window)) {
      return window;
    }
    if (waited >= waitMs) {
      return nullptr;
    }
    Sleep(50);
  }
}

// The controls in z-order, which is the table's order.
HWND NthControl(HWND window, std::size_t index) {
  HWND child = GetWindow(window, GW_CHILD);
  for (std::size_t i = 0; i < index && child != nullptr; ++i) {
    child = GetWindow(child, GW_HWNDNEXT);
  }
  return child;
}

int CheckLayout(HWND window) {
  int mismatches = 0;
  RECT client;
  GetClientRect(window, &client);
  std::printf("client %ld x %ld\n", client.right, client.bottom);
  if (client.right != corvane::shell::ClientWidthTwips / TwipsPerPixel ||
      client.bottom != corvane::shell::ClientHeightTwips / TwipsPerPixel) {
    std::printf("  expected 394 x 236\n");
    ++mismatches;
  }
  // Centred on the screen, a fixed single border with the close box only.
  RECT outer;
  GetWindowRect(window, &outer);
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
  if (std::abs(outer.left + outer.right - GetSystemMetrics(SM_CXSCREEN)) > 1 ||
      std::abs(outer.top + outer.bottom - GetSystemMetrics(SM_CYSCREEN)) > 1 ||
      (style & (WS_CAPTION | WS_SYSMENU)) != (WS_CAPTION | WS_SYSMENU) ||
      (style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) != 0) {
    std::printf("window at %ld,%ld-%ld,%ld with style %08lx\n", outer.left, outer.top, outer.right,
                outer.bottom, style);
    ++mismatches;
  }
  for (std::size_t i = 0; i < Controls.size(); ++i) {
    const auto& entry = Controls[i];
    HWND control = NthControl(window, i);
    if (control == nullptr) {
      std::printf("%.*s missing\n", static_cast<int>(entry.name.size()), entry.name.data());
      ++mismatches;
      continue;
    }
    RECT at;
    GetWindowRect(control, &at);
    std::printf("%.*s %ld %ld %ld %ld\n", static_cast<int>(entry.name.size()), entry.name.data(),
                at.left, at.top, at.right, at.bottom);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&at), 2);
    const TwipsRect expected = ClientRect(entry);
    const bool placed = at.left * TwipsPerPixel == expected.left &&
                        at.top * TwipsPerPixel == expected.top &&
                        (at.right - at.left) * TwipsPerPixel == expected.width &&
                        (at.bottom - at.top) * TwipsPerPixel == expected.height;
    if (!placed) {
      std::printf("  at %ld,%ld %ldx%ld in the client area, expected %d,%d %dx%d\n", at.left,
                  at.top, at.right - at.left, at.bottom - at.top, expected.left / TwipsPerPixel,
                  expected.top / TwipsPerPixel, expected.width / TwipsPerPixel,
                  expected.height / TwipsPerPixel);
      ++mismatches;
    }
  }
  return mismatches == 0 ? 0 : 1;
}

int PrintStatus(HWND window) {
  // GetWindowTextA reads a control of another process without asking it,
  // so it answers while the window is busy with a run.
  char text[256] = {};
  GetWindowTextA(NthControl(window, ControlIndex(corvane::shell::ControlId::Status)), text,
                 sizeof text);
  std::printf("%s\n", text);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: window_probe layout | status\n");
    return 2;
  }
  const bool layout = std::strcmp(argv[1], "layout") == 0;
  if (!layout && std::strcmp(argv[1], "status") != 0) {
    std::fprintf(stderr, "window_probe: unknown command '%s'\n", argv[1]);
    return 2;
  }
  HWND window = FindUpdaterWindow(layout ? WaitForWindowMs : 0);
  if (window == nullptr) {
    std::fprintf(stderr, "window_probe: no visible window titled \"%.*s\"\n",
                 static_cast<int>(corvane::shell::WindowTitle.size()),
                 corvane::shell::WindowTitle.data());
    return 1;
  }
  return layout ? CheckLayout(window) : PrintStatus(window);
}
