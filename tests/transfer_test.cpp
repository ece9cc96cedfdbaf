#include <optional>

#include "protocol/frames.h"
#include "protocol/run_steps.h"
#include "protocol/transfer.h"
#include "sim_test_world.h"

namespace corvane::protocol {
namespace {

using sim::Answer;
using sim::FrameKind;
using sim::Received;
using Hook = std::optional<Answer>;

Answer Reply(std::vector<std::uint8_t> bytes) {
  Answer answer;
  answer.reply = std::move(bytes);
  return answer;
}

class TransferTest : public SimTestWorld {
 protected:
  TransferTest() { Connect(); }

  // Opens the link and shakes hands: a transfer follows the identity
  // exchange, and a new session makes the remote count attempts afresh.
  void Connect() {
    EXPECT_TRUE(
        std::holds_alternative<Identity>(protocol::Connect({link, images, window, observer})));
    writes.clear();
    progress.clear();
  }

  TransferResult Transfer(std::int32_t size, std::uint8_t flag = 0) {
    std::int32_t total = 0;
    const auto result = TransferImage(link, image, size, flag, total, observer,
                                      [this](std::int32_t t) { progress.push_back(t); });
    EXPECT_EQ(total, progress.empty() ? 0 : progress.back());
    return result;
  }

  // Replies by block number and attempt; nullopt keeps the normal answer.
  void AnswerBlocks(std::function<Hook(const Received&)> answer) {
    remote.answerHook = [answer](const Received& r, const Answer&) -> Hook {
      return r.kind == FrameKind::Block ? answer(r) : std::nullopt;
    };
  }

  std::vector<std::uint8_t> image = {images.Main().begin(), images.Main().end()};
  std::vector<std::int32_t> progress;
  std::vector<std::string> transcript;
  sim::RecordingWindow window{transcript};
  struct : RunObserver {
    std::vector<BlockReport> blocks;
    void BlockEnded(const BlockReport& block) override { blocks.push_back(block); }
  } observer;
};

TEST_F(TransferTest, SplitsAnImageIntoNumberedBlocksTheRemoteReassembles) {
  const struct {
    std::int32_t size;
    std::size_t frames;
    std::size_t lastFrameSize;
  } cases[] = {{78336, 20, 521}, {17408, 5, 1033}, {8192, 2, 4105}, {100, 1, 109}};
  for (const auto& c : cases) {
    Connect();
    ASSERT_EQ(Transfer(c.size), TransferResult::Completed);
    ASSERT_TRUE(WriteFrame(link, EndFrame(MarkerSecond)));
    ASSERT_EQ(writes.size(), c.frames + 1) << c.size;
    EXPECT_EQ(writes[c.frames - 1].size(), c.lastFrameSize);
    EXPECT_EQ(progress.size(), c.frames);
    EXPECT_EQ(progress.back(), c.size);
    const auto& received = remote.images().back();
    EXPECT_TRUE(std::equal(received.bytes.begin(), received.bytes.end(), image.begin()));
    EXPECT_EQ(received.bytes.size(), static_cast<std::size_t>(c.size));
  }
  EXPECT_EQ(remote.violations(), std::vector<std::string>{});
}

TEST_F(TransferTest, BlockCounterCarriesIntoItsHighByteAfterBlock255) {
  image.resize(256 * 4096 + 10, 0x3C);
  ASSERT_EQ(Transfer(static_cast<std::int32_t>(image.size())), TransferResult::Completed);
  ASSERT_EQ(writes.size(), 257u);
  EXPECT_EQ(writes[254][4], 0x00);
  EXPECT_EQ(writes[254][5], 0xFF);
  EXPECT_EQ(writes[255][4], 0x01);
  EXPECT_EQ(writes[255][5], 0x00);
  EXPECT_EQ(writes[256].size(), 19u);
  EXPECT_EQ(remote.violations(), std::vector<std::string>{});
}

TEST_F(TransferTest, RetriesAndTheirEndings) {
  const auto silent = [](const Received&) -> Hook { return Answer{}; };
  const auto ownNumber = [](const Received& r) -> Hook {
    return Reply(sim::BlockReplyWith(r.block));
  };
  const struct {
    const char* what;
    std::function<Hook(const Received&)> answer;
    TransferResult result;
    std::size_t writesOfBlock1;
  } cases[] = {
      {"own number every time", ownNumber, TransferResult::Completed, 3},
      {"never any reply", silent, TransferResult::NoReply, 3},
      {"short reply without the number",
       [](const Received&) -> Hook {
         return Reply({0xAD, 0xFA, 0, 0, 0});
       },
       TransferResult::Completed, 3},
      {"one byte each time: replies, though none acknowledges",
       [](const Received&) -> Hook { return Reply({0xAD}); }, TransferResult::Completed, 3},
      {"number with its top bit set",
       [](const Received&) -> Hook { return Reply(sim::BlockReplyWith(0x8002)); },
       TransferResult::Completed, 3},
      {"silent, wrong, silent",
       [&](const Received& r) -> Hook { return r.attempt == 2 ? ownNumber(r) : silent(r); },
       TransferResult::Completed, 3},
      {"silent, then a read with nothing",
       [](const Received& r) -> Hook {
         Answer empty;
         empty.mode = sim::ReadMode::Empty;
         return r.attempt == 1 ? Answer{} : empty;
       },
       TransferResult::NoReply, 2},
      {"reply of six bytes with the number",
       [](const Received& r) -> Hook {
         auto reply = sim::BlockReplyWith(static_cast<std::uint16_t>(r.block + 1));
         reply.resize(6);
         return Reply(reply);
       },
       TransferResult::Completed, 1},
  };
  for (const auto& c : cases) {
    Connect();
    AnswerBlocks(c.answer);
    observer.blocks.clear();
    EXPECT_EQ(Transfer(4096), c.result) << c.what;
    EXPECT_EQ(writes.size(), c.writesOfBlock1) << c.what;
    ASSERT_EQ(observer.blocks.size(), 1U) << c.what;
    EXPECT_EQ(observer.blocks[0].attempts, static_cast<int>(c.writesOfBlock1)) << c.what;
    EXPECT_EQ(observer.blocks[0].end == BlockEnd::NoReply, c.result == TransferResult::NoReply);
    EXPECT_TRUE(
        std::all_of(writes.begin(), writes.end(), [&](const auto& w) { return w == writes[0]; }))
        << c.what << ": a retry must resend the same frame";
  }
}

TEST_F(TransferTest, SendsNothingPastTheImageNorForAnEmptyOne) {
  EXPECT_EQ(Transfer(static_cast<std::int32_t>(image.size()) + 1), TransferResult::WriteFailed);
  EXPECT_EQ(Transfer(0), TransferResult::Completed);
  EXPECT_TRUE(writes.empty());
}

}  // namespace
}  // namespace corvane::protocol
