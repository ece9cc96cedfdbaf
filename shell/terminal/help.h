// What corvane-flash --help prints: the options, then the exit statuses.
#pragma once

#include <string>

namespace corvane::shell {

std::string FlashHelp();

}  // namespace corvane::shell
