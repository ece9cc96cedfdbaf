// What asks a link to stop: a std::stop_token where the standard library has
// one (the programs on Windows and Linux), or none. The link only asks it;
// it needs no <stop_token>, which the web build's library lacks.
#pragma once

#include <functional>
#include <utility>

namespace corvane::link {

class StopToken {
 public:
  // None: a stop is never asked for.
  StopToken() = default;
  // Any token that tells whether a stop may come and whether it has.
  template <typename Token>
  requires requires(const Token& token) {
    token.stop_requested();
    token.stop_possible();
  }
  StopToken(Token token)  // implicit: a std::stop_token is passed as it is
      : possible_(token.stop_possible()),
        requested_([token = std::move(token)] { return token.stop_requested(); }) {}

  bool stop_possible() const { return possible_; }
  bool stop_requested() const { return possible_ && requested_(); }

 private:
  bool possible_ = false;
  std::function<bool()> requested_;
};

}  // namespace corvane::link
