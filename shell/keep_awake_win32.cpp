// KeepAwake on Windows: the thread's execution state, which holds off idle
// sleep until it is cleared.
#include "shell/keep_awake.h"

#include <windows.h>

namespace corvane::shell {

KeepAwake::KeepAwake(std::string_view program, std::ostream& diagnostics)
    : held_(SetThreadExecutionState(ES_CONTINUOUS | ES_SYSTEM_REQUIRED) != 0) {
  if (!held_) {
    diagnostics << program << ": cannot keep the computer awake during the update ("
                << "Windows refused the request)" << std::endl;
  }
}

KeepAwake::~KeepAwake() {
  if (held_) {
    SetThreadExecutionState(ES_CONTINUOUS);
  }
}

bool KeepAwake::Held() const {
  return held_;
}

}  // namespace corvane::shell
