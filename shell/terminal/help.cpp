#include "shell/terminal/help.h"

#include "shell/terminal/exit_status.h"

namespace corvane::shell {

std::string FlashHelp() {
  return "usage: corvane-flash [OPTION]...\n"
         "\n"
         "Writes the firmware built into this program into the Corvane remote on the\n"
         "USB bus, saying what it does (the remote found, the path, each phase) and\n"
         "showing the progress. On success the status text is the last line on\n"
         "standard output; a failure goes to standard error as\n"
         "'corvane-flash: <status text>', with the cause and what to do where known.\n"
         "\n"
         "  (no option)          update the one remote that is plugged in; with\n"
         "                       several, list them and choose none\n"
         "  -l, --list           list the remotes plugged in: the id --device takes,\n"
         "                       the USB serial number (when any has one; '-' for\n"
         "                       one without), then what the system says of it\n"
         "      --info           probe and identify the remote, say what it reported\n"
         "                       and which path an update would take; write nothing\n"
         "      --device ID      update the remote with this id or USB serial number\n"
         "      --all            update every remote plugged in, at once\n"
         "      --wait[=SECONDS] wait for a remote to be plugged in first (for ever,\n"
         "                       or at most SECONDS)\n"
         "      --watch          keep watching the bus, for a fixture: update every\n"
         "                       remote plugged in, once, several at once, until\n"
         "                       Ctrl-C or SIGTERM; a remote unplugged and plugged\n"
         "                       in again is updated again\n"
         "      --json           write JSON Lines on standard output, one object per\n"
         "                       event (found, phase, progress, end); text goes to\n"
         "                       standard error\n"
         "      --log FILE       append a record of the run to FILE: every frame\n"
         "                       written and reply read, with times, and the outcome\n"
         "      --simulate S1,S2,...  plug in one simulated remote per scenario, at a\n"
         "                       real remote's pace, instead of the USB bus\n"
         "      --list-scenarios list the scenarios\n"
         "  -V, --version        print the version\n"
         "  -h, --help           print this help\n"
         "\n"
         "Ctrl-C or SIGTERM stops a run, closing the link to the remote first.\n"
         "--watch ends on either, after a summary, with status 130 or 143.\n"
         "\n"
         "exit status (with --all, that of the first remote, in --list order, whose\n"
         "update did not complete):\n" +
         ExitStatusList();
}

}  // namespace corvane::shell
