#include "shell/terminal/run_words.h"

#include "firmware/image_layout.h"
#include "link/text.h"
#include "protocol/frames.h"

namespace corvane::shell {
namespace {

std::string Attempts(int attempts) {
  return std::to_string(attempts) + (attempts == 1 ? " attempt" : " attempts");
}

std::string HowItEnded(const protocol::BlockReport& block) {
  switch (block.end) {
    case protocol::BlockEnd::Acknowledged:
      return "acknowledged after " + Attempts(block.attempts);
    case protocol::BlockEnd::Unacknowledged:
      return "counted as sent: no reply named it in " + Attempts(block.attempts);
    case protocol::BlockEnd::NoReply:
      return "no reply in " + Attempts(block.attempts);
    case protocol::BlockEnd::WriteFailed:
      return "not written whole at attempt " + std::to_string(block.attempts);
  }
  return {};
}

}  // namespace

std::string_view PathWords(protocol::UpdatePath path) {
  return path == protocol::UpdatePath::Loader ? "path: loader image, restart, then main image"
                                              : "path: main image";
}

std::string IdentityWords(const protocol::RemoteIdentity& identity) {
  return "identity bytes 28, 29, 31, 32: " + link::HexText(identity.bytes, " ") +
         (identity.echoed ? " (the reply echoes the request)"
                          : " (the reply does not echo the request)");
}

std::string BlockWords(protocol::Phase image, const protocol::BlockReport& block) {
  const bool loader = image == protocol::Phase::Loader;
  const std::int32_t size = loader ? firmware::LoaderImageSize : firmware::MainImageSize;
  const std::int32_t blocks = (size + protocol::MaxPayload - 1) / protocol::MaxPayload;
  return "block " + std::to_string(block.number) + " of " + std::to_string(blocks) +
         (loader ? " of the loader image (" : " of the main image (") +
         std::to_string(block.bytes) + " bytes): " + HowItEnded(block);
}

}  // namespace corvane::shell
