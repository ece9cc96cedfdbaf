// What the terminal updater needs of the system's console.
#pragma once

#include <functional>
#include <stop_token>

namespace corvane::shell {

// Whether standard output is a terminal, where a line can be redrawn.
bool OutputIsTerminal();

// Runs `run` with a token on which Ctrl-C (and SIGTERM, where there is one)
// requests a stop, and returns once it has returned. Gives the exit status
// the interrupt calls for: 130 for Ctrl-C, 143 for SIGTERM; 0 when none
// came.
int RunStoppable(const std::function<void(std::stop_token)>& run);

// The status the interrupt that stopped the run calls for, known before the
// stop is requested; 0 before any.
int InterruptStatus();

}  // namespace corvane::shell
