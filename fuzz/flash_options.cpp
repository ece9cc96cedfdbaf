// corvane-flash's command line: any list of arguments, the input split at
// its NUL bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "shell/terminal/options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments(size > 0 ? 1 : 0);
  for (std::size_t i = 0; i < size; ++i) {
    data[i] == 0 ? arguments.emplace_back() : arguments.back() += static_cast<char>(data[i]);
  }
  corvane::shell::ReadOptions(arguments);
  return 0;
}
