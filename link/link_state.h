// The link's module-wide state, shared by discovery and the pipe transfers.
#pragma once

#include <string>

#include "link/backend.h"

namespace corvane::link::detail {

struct LinkState {
  Backend* backend = nullptr;
  std::string devicePath;
  // Held from OpenDevice to CloseDevice; each transfer opens a file of its
  // own for the length of its call.
  Handle readPipeHandle = InvalidHandle;
  Handle writePipeHandle = InvalidHandle;
};

extern LinkState state;

}  // namespace corvane::link::detail
