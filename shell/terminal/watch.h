// corvane-flash --watch: a station for a fixture. Watches the bus until
// Ctrl-C or SIGTERM and updates every remote plugged in, once, as it
// arrives, each on a thread of its own; a remote is updated again only
// once it has left the bus and come back. Its restart on the loader path,
// within its run, is no arrival.
#pragma once

#include "firmware/images.h"
#include "shell/terminal/options.h"
#include "shell/terminal/remotes.h"

namespace corvane::shell {

// Gives the program's exit status: that of the interrupt that ended it.
int RunWatch(const Options& options, Remotes& remotes, const firmware::Images& images);

}  // namespace corvane::shell
