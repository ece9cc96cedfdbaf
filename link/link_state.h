// The link's module-wide state, shared by discovery and the pipe transfers.
#pragma once

#include <string>

#include "link/backend.h"

namespace corvane::link::detail {

struct LinkState {
  Backend* backend = nullptr;
  std::string devicePath;
  Handle readPipeHandle = InvalidHandle;
  Handle writePipeHandle = InvalidHandle;
  Handle readTransferHandle = InvalidHandle;
  Handle writeTransferHandle = InvalidHandle;
};

extern LinkState state;

}  // namespace corvane::link::detail
