// The link's module-wide state, shared by discovery and the pipe transfers.
#pragma once

#include <string>

#include "link/platform.h"

namespace corvane::link::detail {

struct LinkState {
  Platform* platform = nullptr;
  std::string devicePath;
  Handle readPipeHandle = InvalidHandle;
  Handle writePipeHandle = InvalidHandle;
  Handle readTransferHandle = InvalidHandle;
  Handle writeTransferHandle = InvalidHandle;
  Event readEvent = 0;
  Event writeEvent = 0;
  Overlap readOverlap;
  Overlap writeOverlap;
};

extern LinkState state;

}  // namespace corvane::link::detail
