#include "shell/web/page_window.h"

#include <emscripten.h>

#include "shell/cause_hint.h"
#include "shell/progress_model.h"
#include "shell/window_layout.h"

namespace corvane::shell::web {
namespace {

// Each reaches the page's script, Module.page in web/page.js.
// clang-format off
EM_JS(void, PageOpen, (const char* title), {
  Module.page.open(UTF8ToString(title));
});
EM_JS(void, PageAddControl, (const char* name, const char* kind, const char* text, int left,
                             int top, int width, int height, const char* action), {
  Module.page.addControl(UTF8ToString(name), UTF8ToString(kind), UTF8ToString(text), left, top,
                         width, height, UTF8ToString(action));
});
EM_JS(void, PageFont, (const char* name, const char* face, const char* fallback, double points,
                       int weight), {
  Module.page.font(UTF8ToString(name), [UTF8ToString(face), UTF8ToString(fallback)], points,
                   weight);
});
EM_JS(void, PageText, (const char* name, const char* text), {
  Module.page.setText(UTF8ToString(name), UTF8ToString(text));
});
EM_JS(void, PageProgress, (const char* name, int position, int steps), {
  Module.page.setProgress(UTF8ToString(name), position, steps);
});
EM_JS(void, PageCause, (const char* title, const char* hint, const char* cause), {
  Module.page.showCause(UTF8ToString(title), UTF8ToString(hint), UTF8ToString(cause));
});
EM_ASYNC_JS(void, PageBoxAfterClosing, (const char* title, const char* text), {
  await Module.page.boxAfterClosing(UTF8ToString(title), UTF8ToString(text));
});
EM_JS(void, PageHideButtons, (), {
  Module.page.hideButtons();
});
EM_JS(void, PageEnd, (), {
  Module.page.end();
});
// clang-format on

std::string_view KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::PushButton:
      return "button";
    case ControlKind::GroupBox:
      return "group";
    case ControlKind::StaticText:
      return "text";
    case ControlKind::ProgressBar:
      return "bar";
  }
  return {};
}

int Pixels(int twips) {
  return TwipsToPixels(twips, DesignDpi);
}

// What pressing a button does, for the page's script.
std::string_view ActionOf(ControlId id) {
  switch (id) {
    case ControlId::StartButton:
      return "start";
    case ControlId::ExitButton:
      return "exit";
    default:
      return "";
  }
}

std::string NameOf(ControlId id) {
  return std::string(ControlFor(id).name);
}

}  // namespace

PageWindow::PageWindow(StartAction start, std::string_view program, std::string_view title)
    : WindowOnItsThread(std::move(start), program), title_(title) {
  PageOpen(title_.c_str());
  // Every control in client coordinates, in table order: the tab order, and
  // the group box beneath what sits in it.
  for (const Control& control : Controls) {
    const TwipsRect rect = ClientRect(control);
    PageAddControl(std::string(control.name).c_str(), std::string(KindName(control.kind)).c_str(),
                   std::string(control.text).c_str(), Pixels(rect.left), Pixels(rect.top),
                   Pixels(rect.width), Pixels(rect.height),
                   std::string(ActionOf(control.id)).c_str());
  }
  PageFont(NameOf(ControlId::Instruction).c_str(), std::string(InstructionFontFace).c_str(),
           std::string(InstructionFontFallback).c_str(), InstructionFontPoints,
           InstructionFontWeight);
  ShowProgress();
}

void PageWindow::ShowStatus(const std::string& text) {
  PageText(NameOf(ControlId::Status).c_str(), text.c_str());
}

void PageWindow::ShowProgress() {
  PageProgress(NameOf(ControlId::Progress).c_str(), progress_.Position(BarSteps), BarSteps);
}

void PageWindow::ShowCause(const std::string& hint, const std::string& cause) {
  PageCause(std::string(CauseTitle).c_str(), hint.c_str(), cause.c_str());
}

void PageWindow::ShowAfterClosing(const std::string& text) {
  PageBoxAfterClosing(title_.c_str(), text.c_str());
}

void PageWindow::Hide() {
  PageHideButtons();
}

void PageWindow::Destroy(int) {
  closed_ = true;
  PageEnd();
}

}  // namespace corvane::shell::web
