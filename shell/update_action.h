// One update as the programs run it: through a link of its own over the
// system's (or the simulated) backend, with the computer kept awake for
// exactly its length, and `trace` shown every write and read. Runs on the
// thread that calls it.
#pragma once

#include <string_view>
#include <utility>

#include "firmware/images.h"
#include "link/device_link.h"
#include "protocol/update_run.h"
#include "shell/keep_awake.h"

namespace corvane::shell {

inline protocol::RunResult UpdateKeptAwake(link::Backend& backend, const firmware::Images& images,
                                           std::string_view program,
                                           protocol::WindowOperations& window,
                                           link::DeviceLink::Trace trace = {}) {
  const KeepAwake awake(program);
  link::DeviceLink link(backend);
  link.SetTrace(std::move(trace));
  return protocol::UpdateFirmware(link, images, window);
}

}  // namespace corvane::shell
