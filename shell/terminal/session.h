// corvane-flash's session over the remotes plugged in: waits for one where
// asked, lists them or chooses those to update, keeps the computer awake
// while any is written, runs each on a thread of its own at once, and turns
// Ctrl-C and SIGTERM into a stop.
#pragma once

#include "firmware/images.h"
#include "shell/terminal/options.h"
#include "shell/terminal/remotes.h"

namespace corvane::shell {

// Gives the program's exit status.
int RunSession(const Options& options, Remotes& remotes, const firmware::Images& images);

}  // namespace corvane::shell
