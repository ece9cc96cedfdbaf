// corvane-flash's exit statuses, one for every way it can end, for the
// scripts and production lines that act on them.
#pragma once

#include <string>
#include <string_view>

#include "protocol/outcome.h"

namespace corvane::shell {

inline constexpr int CouldNotStart = 1;  // the log cannot be written
inline constexpr int BadArguments = 2;
inline constexpr int NotBackAfterLoader = 10;

inline constexpr std::string_view NeedsTheUpdateAgain =
    "the remote did not come back after its loader was written: it needs the update again";

int ExitStatusOf(protocol::Outcome outcome);
// A run's status: that of its outcome, but for "no usb device" which, after
// the loader was written, is a remote lost half-updated, and otherwise tells
// a remote refused to this user or held by another program.
int ExitStatusOf(const protocol::RunResult& result, bool afterLoader);

// Every status with its meaning, a line each, in order, for --help.
std::string ExitStatusList();

}  // namespace corvane::shell
