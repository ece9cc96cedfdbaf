#include "shell/win32/updater_window.h"

#include <commctrl.h>

#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "shell/cause_hint.h"
#include "shell/win32/resource_ids.h"

namespace corvane::shell::win32 {
namespace {

constexpr const char* ClassName = "CorvaneUpdaterWindow";
constexpr DWORD WindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;

// Control ids stay clear of IDOK and IDCANCEL: the dialog manager sends those
// for Enter and Escape, which do nothing here.
constexpr int ControlIdBase = 100;

// Sent by the run's thread: run the std::function<void()> at lParam on the
// window's thread.
constexpr UINT RunOnWindow = WM_APP + 1;

// What Windows shows beside the window when a shutdown waits for it.
constexpr const wchar_t* ShutdownReason =
    L"A remote control's firmware is being written. Shutting down now could leave it unusable.";

int ScreenDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

int CALLBACK NoteFontFound(const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}

bool FontInstalled(std::string_view face) {
  LOGFONTA wanted{};
  wanted.lfCharSet = ANSI_CHARSET;
  face.copy(wanted.lfFaceName, sizeof wanted.lfFaceName - 1);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExA(screen, &wanted, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

// Label1's font; where Arial is missing, the font with Arial's metrics.
HFONT CreateInstructionFont(int dpi) {
  LOGFONTA font{};
  // Negative: the character height, points converted at the screen's dpi.
  font.lfHeight = -static_cast<LONG>(std::lround(InstructionFontPoints * dpi / 72));
  font.lfWeight = InstructionFontWeight;
  font.lfCharSet = ANSI_CHARSET;
  const std::string_view face =
      FontInstalled(InstructionFontFace) ? InstructionFontFace : InstructionFontFallback;
  face.copy(font.lfFaceName, sizeof font.lfFaceName - 1);
  return CreateFontIndirectA(&font);
}

struct ControlClass {
  const char* name;
  DWORD style;
};

// Plain push buttons (never BS_DEFPUSHBUTTON) and labels that show every
// character as it is (no access-key prefix).
ControlClass ClassFor(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton:
      return {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP};
    case ControlKind::GroupBox:
      return {"BUTTON", BS_GROUPBOX};
    case ControlKind::StaticText:
      return {"STATIC", SS_LEFT | SS_NOPREFIX};
    case ControlKind::ProgressBar:
      return {PROGRESS_CLASSA, 0};
  }
  return {"STATIC", 0};
}

const char* WindowClass(WNDPROC procedure) {
  static const ATOM registered = [procedure] {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(CORVANE_ICON));
    windowClass.hIconSm = static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(CORVANE_ICON),
                                                        IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                        GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    windowClass.lpszClassName = ClassName;
    return RegisterClassExA(&windowClass);
  }();
  return registered != 0 ? ClassName : nullptr;
}

// Keys, clicks and the mouse over the title bar and the close box: what a
// person gives a window.
bool IsInput(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
         (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
}

// Handles what is queued for this thread, input excepted, which is dropped:
// during a run it would start a second update, or an Exit that hides the
// result. A WM_QUIT is kept for the program's own loop.
void HandleQueuedDroppingInput(std::optional<int>& quit) {
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quit = static_cast<int>(message.wParam);
    } else if (!IsInput(message.message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
}

// The run's thread: calls the std::function<void()> it is given.
DWORD WINAPI CallOnItsThread(void* run) {
  (*static_cast<std::function<void()>*>(run))();
  return 0;
}

// The window a box on this thread is to stand beside.
thread_local RECT besideWindow{};

// Moves the box as it is first activated: to the right of the window, its
// left, below or above it, the first where the screen has room.
LRESULT CALLBACK PlaceBoxBeside(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_ACTIVATE) {
    const auto box = reinterpret_cast<HWND>(wParam);
    RECT own{};
    GetWindowRect(box, &own);
    const LONG width = own.right - own.left;
    const LONG height = own.bottom - own.top;
    constexpr LONG Gap = 8;
    const RECT& w = besideWindow;
    const POINT places[] = {{w.right + Gap, w.top},
                            {w.left - Gap - width, w.top},
                            {w.left, w.bottom + Gap},
                            {w.left, w.top - Gap - height}};
    for (const POINT at : places) {
      if (at.x >= 0 && at.y >= 0 && at.x + width <= GetSystemMetrics(SM_CXSCREEN) &&
          at.y + height <= GetSystemMetrics(SM_CYSCREEN)) {
        SetWindowPos(box, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        break;
      }
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

UpdaterWindow::UpdaterWindow(StartAction start, std::string_view program,
                             std::string_view windowTitle)
    : WindowOnItsThread(std::move(start), program) {
  const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&classes);

  const char* windowClass = WindowClass(Procedure);
  if (windowClass == nullptr) {
    return;
  }
  const int dpi = ScreenDpi();
  RECT outer{0, 0, TwipsToPixels(ClientWidthTwips, dpi), TwipsToPixels(ClientHeightTwips, dpi)};
  AdjustWindowRectEx(&outer, WindowStyle, FALSE, 0);
  const int width = outer.right - outer.left;
  const int height = outer.bottom - outer.top;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  instructionFont_ = CreateInstructionFont(dpi);
  // WM_NCCREATE stores the handle in window_.
  const std::string title(windowTitle);
  CreateWindowExA(0, windowClass, title.c_str(), WindowStyle, left, top, width, height, nullptr,
                  nullptr, GetModuleHandleA(nullptr), this);
  if (window_ == nullptr) {
    return;
  }
  CreateControls(dpi);
  focus_ = control(ControlId::StartButton);
  // Activation hands the focus to focus_.
  ShowWindow(window_, SW_SHOW);
  UpdateWindow(window_);
}

UpdaterWindow::~UpdaterWindow() {
  if (window_ != nullptr) {
    DestroyWindow(window_);
  }
  if (instructionFont_ != nullptr) {
    DeleteObject(instructionFont_);
  }
}

int UpdaterWindow::Run() {
  if (window_ == nullptr) {
    return 1;
  }
  MSG message{};
  BOOL got;
  while ((got = GetMessageA(&message, nullptr, 0, 0)) > 0) {
    // Tab and Shift+Tab move between the buttons.
    if (window_ == nullptr || !IsDialogMessageA(window_, &message)) {
      TranslateMessage(&message);
      DispatchMessageA(&message);
    }
  }
  return got < 0 ? 1 : static_cast<int>(message.wParam);
}

HWND UpdaterWindow::control(ControlId id) const {
  return controls_[ControlIndex(id)];
}

void UpdaterWindow::CreateControls(int dpi) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  // The stock dialog font (MS Shell Dlg, 8 pt at the system dpi) rather than
  // the larger message font: the table's 25-pixel buttons and one-line status
  // box were drawn for it. Being a stock object, it is never freed.
  HFONT dialogFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  for (std::size_t i = 0; i < Controls.size(); ++i) {
    const Control& entry = Controls[i];
    // All six are children of the window, in tab order, so that Tab and the
    // z-order follow the table. Edges are scaled rather than sizes, so that
    // edges that line up at 96 dpi line up at every dpi.
    const TwipsRect at = ClientRect(entry);
    const int left = TwipsToPixels(at.left, dpi);
    const int top = TwipsToPixels(at.top, dpi);
    const int right = TwipsToPixels(at.left + at.width, dpi);
    const int bottom = TwipsToPixels(at.top + at.height, dpi);
    const ControlClass kind = ClassFor(entry.kind);
    controls_[i] = CreateWindowExA(
        0, kind.name, std::string(entry.text).c_str(), WS_CHILD | WS_VISIBLE | kind.style, left,
        top, right - left, bottom - top, window_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(ControlIdBase + static_cast<int>(i))),
        instance, nullptr);
    HFONT font = entry.id == ControlId::Instruction ? instructionFont_ : dialogFont;
    SendMessageA(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  }
  SendMessageA(control(ControlId::Progress), PBM_SETRANGE32, 0, BarSteps);
  ShowProgress();
}

LRESULT CALLBACK UpdaterWindow::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<UpdaterWindow*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<UpdaterWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  if (self == nullptr) {
    return DefWindowProcA(window, message, wParam, lParam);
  }
  return self->Handle(message, wParam, lParam);
}

LRESULT UpdaterWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND window = window_;
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        OnCommand(LOWORD(wParam));
      }
      return 0;
    case WM_ACTIVATE:
      // The focus leaves with the window and comes back to the same control.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window, focus)) {
          focus_ = focus;
        }
      } else if (focus_ != nullptr) {
        SetFocus(focus_);
        return 0;
      }
      break;
    case WM_CLOSE:  // the close box; dropped during a run
      if (!running_) {
        CloseWindow();
      }
      return 0;
    case WM_QUERYENDSESSION:  // the session may end, but not during a run
      return running_ ? FALSE : TRUE;
    case RunOnWindow:
      (*reinterpret_cast<const std::function<void()>*>(lParam))();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(exitStatus_);
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      window_ = nullptr;
      controls_ = {};
      break;
    default:
      break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void UpdaterWindow::OnCommand(int controlId) {
  const auto index = static_cast<std::size_t>(controlId - ControlIdBase);
  if (index >= Controls.size()) {
    return;
  }
  switch (Controls[index].id) {
    case ControlId::StartButton:
      RunUpdate();
      break;
    case ControlId::ExitButton:
      CloseWindow();
      break;
    default:
      break;
  }
}

void UpdaterWindow::RunDroppingInput(std::function<void()> run) {
  ShutdownBlockReasonCreate(window_, ShutdownReason);
  // A thread of the system's own, whose handle the wait below can watch.
  const HANDLE thread = CreateThread(nullptr, 0, CallOnItsThread, &run, 0, nullptr);
  std::optional<int> quit;
  if (thread == nullptr) {
    run();
  } else {
    // Wakes for the run's end, for what the run sends and for everything
    // queued; the window paints and answers the system meanwhile. A drag of
    // its title bar is input, and is dropped with the rest.
    while (MsgWaitForMultipleObjectsEx(1, &thread, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE) !=
           WAIT_OBJECT_0) {
      HandleQueuedDroppingInput(quit);
    }
    CloseHandle(thread);
  }
  HandleQueuedDroppingInput(quit);  // input queued as the run ended goes too
  if (quit) {
    PostQuitMessage(*quit);
  }
  ShutdownBlockReasonDestroy(window_);
}

// On a thread of its own, so that the box holds nothing; beside the
// window rather than over its buttons.
void UpdaterWindow::ShowCause(const std::string& hint, const std::string& cause) {
  std::string text(hint);
  text.append("\n\n").append(cause);
  RECT beside{};
  GetWindowRect(window_, &beside);
  std::thread([text, beside] {
    besideWindow = beside;
    const HHOOK hook = SetWindowsHookExA(WH_CBT, PlaceBoxBeside, nullptr, GetCurrentThreadId());
    MessageBoxA(nullptr, text.c_str(), std::string(CauseTitle).c_str(),
                MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    if (hook != nullptr) {
      UnhookWindowsHookEx(hook);
    }
  }).detach();
}

void UpdaterWindow::OnWindowThread(const std::function<void()>& change) {
  if (GetCurrentThreadId() == windowThread_ || window_ == nullptr) {
    change();
  } else {
    SendMessageA(window_, RunOnWindow, 0, reinterpret_cast<LPARAM>(&change));
  }
}

void UpdaterWindow::ShowStatus(const std::string& text) {
  SetWindowTextA(control(ControlId::Status), text.c_str());
}

void UpdaterWindow::Hide() {
  ShowWindow(window_, SW_HIDE);
}

void UpdaterWindow::ShowAfterClosing(const std::string& text) {
  char title[128] = {};
  GetWindowTextA(window_, title, sizeof title);
  MessageBoxA(nullptr, text.c_str(), title, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

void UpdaterWindow::Destroy(int exitStatus) {
  exitStatus_ = exitStatus;
  DestroyWindow(window_);
}

void UpdaterWindow::ShowProgress() {
  SendMessageA(control(ControlId::Progress), PBM_SETPOS,
               static_cast<WPARAM>(progress_.Position(BarSteps)), 0);
}

}  // namespace corvane::shell::win32
