// KeepAwake on Windows: the thread's execution state, which holds off idle
// sleep until it is cleared.
#include "shell/keep_awake.h"

#include <windows.h>

#include <cstdio>

namespace corvane::shell {

KeepAwake::KeepAwake(std::string_view program)
    : held_(SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0) {
  if (!held_) {
    std::fprintf(stderr,
                 "%.*s: cannot keep the computer awake during the update (Windows refused the "
                 "request)\n",
                 static_cast<int>(program.size()), program.data());
  }
}

KeepAwake::~KeepAwake() {
  if (held_) {
    SetThreadExecutionState(ES_CONTINUOUS);
  }
}

}  // namespace corvane::shell
