// What a run says of itself beside the window: the remote it found, the
// path it takes and each phase, for a program that tells a person or a
// script what is going on. The window needs none of it.
#pragma once

#include <cstdint>
#include <string_view>

namespace corvane::protocol {

enum class Phase { Probe, Identity, Loader, Pause, Main, End };
enum class UpdatePath { Direct, Loader };

class RunObserver {
 public:
  virtual ~RunObserver() = default;
  // The link is open to the remote at this interface path.
  virtual void Found(std::string_view /*devicePath*/) {}
  virtual void PathChosen(UpdatePath /*path*/) {}
  virtual void PhaseStarted(Phase /*phase*/) {}
  // During the restart pause, about once a second: what is left of it.
  virtual void Pausing(std::uint32_t /*remainingMs*/) {}
};

}  // namespace corvane::protocol
