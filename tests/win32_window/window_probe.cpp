// window_probe: looks at the running updater's window from another process,
// as a person at the screen would, for the scripts that drive it.
//
//   window_probe layout   waits for the window, checks its client size, its
//                         place and border, and every control's place
//                         against the table at 96 dpi,
//                         prints "<name> <left> <top> <right> <bottom>":
//                         each control's place on the screen
//   window_probe status   prints Label2's text
//   window_probe ping S   for S seconds, every 100 ms, asks the window a
//                         WM_NULL with a 1 s time-out, as Windows does to
//                         tell a hung window; prints how many it answered
//                         and the slowest answer in ms

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shell/window_layout.h"

namespace {

using namespace corvane::shell;

constexpr int WaitForWindowMs = 20000;
constexpr int TwipsPerPixel = 15;  // at 96 dpi

HWND FindUpdaterWindow(int waitMs) {
  for (int waited = 0;; waited += 50) {
    // The program's window, or the demo's.
    for (const std::string_view title : {WindowTitle, DemoWindowTitle}) {
      HWND window = FindWindowA(nullptr, std::string(title).c_str());
      if (window != nullptr && IsWindowVisible(window)) {
        return window;
      }
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
  std::printf("client %ld x %ld, expected %d x %d\n", client.right, client.bottom,
              ClientWidthTwips / TwipsPerPixel, ClientHeightTwips / TwipsPerPixel);
  mismatches += client.right != ClientWidthTwips / TwipsPerPixel ||
                client.bottom != ClientHeightTwips / TwipsPerPixel;
  // Centred on the screen, a fixed single border with the close box only.
  RECT outer;
  GetWindowRect(window, &outer);
  const auto style = static_cast<DWORD>(GetWindowLongPtrA(window, GWL_STYLE));
  if (std::abs(outer.left + outer.right - GetSystemMetrics(SM_CXSCREEN)) > 1 ||
      std::abs(outer.top + outer.bottom - GetSystemMetrics(SM_CYSCREEN)) > 1 ||
      (style & (WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) !=
          (WS_CAPTION | WS_SYSMENU)) {
    std::printf("window at %ld,%ld-%ld,%ld with style %08lx\n", outer.left, outer.top, outer.right,
                outer.bottom, style);
    ++mismatches;
  }
  for (std::size_t i = 0; i < Controls.size(); ++i) {
    const std::string name(Controls[i].name);
    HWND control = NthControl(window, i);
    RECT at{};
    if (control != nullptr) {
      GetWindowRect(control, &at);
    }
    std::printf("%s %ld %ld %ld %ld\n", name.c_str(), at.left, at.top, at.right, at.bottom);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&at), 2);
    const TwipsRect expected = ClientRect(Controls[i]);
    if (control == nullptr || at.left * TwipsPerPixel != expected.left ||
        at.top * TwipsPerPixel != expected.top ||
        (at.right - at.left) * TwipsPerPixel != expected.width ||
        (at.bottom - at.top) * TwipsPerPixel != expected.height) {
      std::printf("  misplaced: %s, expected at %d,%d %dx%d in the client area\n", name.c_str(),
                  expected.left / TwipsPerPixel, expected.top / TwipsPerPixel,
                  expected.width / TwipsPerPixel, expected.height / TwipsPerPixel);
      ++mismatches;
    }
  }
  return mismatches == 0 ? 0 : 1;
}

int Ping(HWND window, int seconds) {
  int asked = 0;
  int answered = 0;
  DWORD slowest = 0;
  for (const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
       static_cast<LONG>(end - GetTickCount()) > 0; Sleep(100)) {
    const DWORD start = GetTickCount();
    DWORD_PTR result = 0;
    ++asked;
    if (SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result) != 0) {
      ++answered;
      slowest = std::max(slowest, GetTickCount() - start);
    }
  }
  std::printf("answered %d of %d, slowest %lu ms\n", answered, asked, slowest);
  return answered == asked ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc >= 2 ? argv[1] : "";
  if (command != "layout" && command != "status" && !(command == "ping" && argc == 3)) {
    std::fprintf(stderr, "usage: window_probe layout | status | ping SECONDS\n");
    return 2;
  }
  HWND window = FindUpdaterWindow(command == "layout" ? WaitForWindowMs : 0);
  if (window == nullptr) {
    std::fprintf(stderr, "window_probe: no visible window titled \"%s\"\n",
                 std::string(WindowTitle).c_str());
    return 1;
  }
  if (command == "layout") {
    return CheckLayout(window);
  }
  if (command == "ping") {
    return Ping(window, std::atoi(argv[2]));
  }
  // GetWindowTextA reads a control of another process without asking it,
  // so it answers while the window is busy with a run.
  char text[256] = {};
  GetWindowTextA(NthControl(window, ControlIndex(ControlId::Status)), text, sizeof text);
  std::printf("%s\n", text);
  return 0;
}
