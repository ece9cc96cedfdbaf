// What the terminal updater needs of the system's console.
#pragma once

#include <atomic>

namespace corvane::shell {

// Whether standard output is a terminal, where a line can be redrawn.
bool OutputIsTerminal();

// From now on Ctrl-C only sets the flag this gives; the run sees it and
// ends by itself.
const std::atomic<bool>& CatchInterrupt();

}  // namespace corvane::shell
