#include "shell/terminal/display_fan_out.h"

namespace corvane::shell {

void DisplayFanOut::SetProgressMin(float min) {
  terminal_.SetProgressMin(min);
  if (json_ != nullptr) {
    json_->SetProgressMin(min);
  }
}

void DisplayFanOut::SetProgressMax(float max) {
  terminal_.SetProgressMax(max);
  if (json_ != nullptr) {
    json_->SetProgressMax(max);
  }
}

void DisplayFanOut::SetProgressValue(float value) {
  terminal_.SetProgressValue(value);
  if (json_ != nullptr) {
    json_->SetProgressValue(value);
  }
}

void DisplayFanOut::Found(std::string_view devicePath) {
  terminal_.Found(devicePath);
  if (json_ != nullptr) {
    json_->Found(devicePath);
  }
  if (log_ != nullptr) {
    foundId_ = link::RemoteId(devicePath);
    log_->Remote(foundId_, devicePath);
  }
}

void DisplayFanOut::PathChosen(protocol::UpdatePath path) {
  terminal_.PathChosen(path);
  if (json_ != nullptr) {
    json_->PathChosen(path);
  }
  if (log_ != nullptr) {
    log_->Images(foundId_, path);
  }
}

void DisplayFanOut::PhaseStarted(protocol::Phase phase) {
  if (phase != protocol::Phase::End) {
    phase_ = phase;
  }
  terminal_.PhaseStarted(phase);
  if (json_ != nullptr) {
    json_->PhaseStarted(phase);
  }
}

}  // namespace corvane::shell
