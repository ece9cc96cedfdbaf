// What a run did, in words, as the terminal and the log say it: what the
// remote said of itself, and how a block's sending ended.
#pragma once

#include <string>
#include <string_view>

#include "protocol/run_observer.h"

namespace corvane::shell {

// "path: loader image, restart, then main image" or "path: main image"
std::string_view PathWords(protocol::UpdatePath path);

// "identity bytes 28, 29, 31, 32: 00 09 01 01 (the reply echoes the request)"
std::string IdentityWords(const protocol::RemoteIdentity& identity);

// "block 7 of 20 of the main image (4096 bytes): no reply in 3 attempts";
// `image` is the phase the block was sent in, Loader or Main.
std::string BlockWords(protocol::Phase image, const protocol::BlockReport& block);

}  // namespace corvane::shell
