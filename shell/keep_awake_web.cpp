#include <emscripten.h>

#include <string>

#include "shell/keep_awake.h"

namespace corvane::shell {
namespace {

// A page keeps the screen on, where the browser has the Screen Wake Lock
// API, and with it the computer; web/page.js holds the lock.
// clang-format off
EM_JS(int, PageKeepAwake, (const char* program), {
  return Module.page.keepAwake(UTF8ToString(program));
});
EM_JS(void, PageLetSleep, (int lock), {
  Module.page.letSleep(lock);
});
// clang-format on

}  // namespace

KeepAwake::KeepAwake(std::string_view program)
    : lock_(PageKeepAwake(std::string(program).c_str())) {}

KeepAwake::~KeepAwake() {
  PageLetSleep(lock_);
}

}  // namespace corvane::shell
