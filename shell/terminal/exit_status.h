// corvane-flash's exit statuses, one for every way it can end, for the
// scripts and production lines that act on them.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/outcome.h"
#include "shell/outcome_status.h"

namespace corvane::shell {

inline constexpr int CouldNotStart = 1;  // the log cannot be written
inline constexpr int BadArguments = 2;
inline constexpr int PermissionRefused = 8;
inline constexpr int HeldElsewhere = 9;
inline constexpr int NotBackAfterLoader = 10;
inline constexpr int DriverNotInstalled = 11;
inline constexpr int Interrupted = 130;  // Ctrl-C
inline constexpr int Terminated = 143;   // SIGTERM

inline constexpr std::string_view NeedsTheUpdateAgain =
    "the remote did not come back after its loader was written: it needs the update again";

// A run's status: that of its outcome, but for "no usb device" which, after
// the loader was written, is a remote lost half-updated, and otherwise tells
// a remote refused to this user, held by another program or without its
// driver.
int ExitStatusOf(const protocol::RunResult& result, bool afterLoader);

// A status's one name, for scripts ("completed", "error-003", ...), and
// what it means to a person.
std::string_view ExitStatusName(int status);
std::string_view ExitStatusMeaning(int status);

// How many of `statuses` each name stands for, in the order of the
// statuses; and the same as a line for people.
std::vector<std::pair<std::string_view, int>> CountByOutcome(std::span<const int> statuses);
std::string SummaryLine(std::span<const int> statuses);

// Every status with its meaning, a line each, in order, for --help.
std::string ExitStatusList();

}  // namespace corvane::shell
