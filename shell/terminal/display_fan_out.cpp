#include "shell/terminal/display_fan_out.h"

#include "shell/terminal/run_words.h"

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
    log_->Remote(logId_, devicePath);
  }
}

void DisplayFanOut::PathChosen(protocol::UpdatePath path) {
  terminal_.PathChosen(path);
  if (json_ != nullptr) {
    json_->PathChosen(path);
  }
  if (log_ != nullptr) {
    log_->Note(logId_, PathWords(path));
  }
}

void DisplayFanOut::PhaseStarted(protocol::Phase phase) {
  if (phase != protocol::Phase::End) {
    phase_ = phase;
    lastBlock_.reset();
  }
  terminal_.PhaseStarted(phase);
  if (json_ != nullptr) {
    json_->PhaseStarted(phase);
  }
}

void DisplayFanOut::IdentityRead(const protocol::RemoteIdentity& identity) {
  identity_ = identity;
  if (log_ != nullptr) {
    log_->Note(logId_, IdentityWords(identity) + ", path " +
                           (identity.path == protocol::UpdatePath::Loader ? "loader" : "direct") +
                           ", header flag " + std::to_string(identity.headerFlag));
  }
}

void DisplayFanOut::BlockEnded(const protocol::BlockReport& block) {
  lastBlock_ = block;
  if (log_ != nullptr && phase_) {
    log_->Note(logId_, BlockWords(*phase_, block));
  }
}

}  // namespace corvane::shell
