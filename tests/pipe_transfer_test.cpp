#include <array>
#include <optional>

#include "sim_test_world.h"

namespace corvane::link {
namespace {

using sim::Answer;
using sim::FrameKind;

constexpr std::uint8_t Probe = 0xF8;

class PipeTransferTest : public SimTestWorld {
 protected:
  PipeTransferTest() { EXPECT_EQ(OpenDevice(), 1); }

  // Makes the remote answer the next frame with `answer`.
  void AnswerNextFrameWith(Answer answer) {
    remote.answerHook = [answer](const sim::Received&, const Answer&) { return answer; };
    std::int32_t written = 0;
    ASSERT_EQ(WritePipe(&Probe, 1, &written, 200), 1);
  }

  static Answer Reply(std::size_t size, sim::ReadMode mode = sim::ReadMode::Replies) {
    Answer answer;
    answer.mode = mode;
    if (size > 0) {
      answer.reply = std::vector<std::uint8_t>(size, 0x5A);
    }
    return answer;
  }
};

TEST_F(PipeTransferTest, ReadResults) {
  const struct {
    const char* what;
    Answer answer;
    bool raceOnTimeout;
    std::int32_t result;
    bool retries;  // more than one ReadFile
  } cases[] = {
      {"whole reply", Reply(48), false, 48, false},
      {"short reply: its count", Reply(10), false, 10, false},
      {"never answered: one try, time-out", Reply(0), false, TransferTimedOut, false},
      {"every try empty: repeats, then 0", Reply(0, sim::ReadMode::Empty), false, 0, true},
      {"wait fails", Reply(0, sim::ReadMode::WaitFails), false, TransferFailed, true},
      {"completed between time-out and cancel: kept", Reply(48), true, 48, false},
  };
  for (const auto& c : cases) {
    AnswerNextFrameWith(c.answer);
    platform.faults.timeOutOnCompletion = c.raceOnTimeout;
    const int before = platform.counts().readFile;
    const sim::Millis start = clock.Now();
    std::array<std::uint8_t, 48> buffer;
    buffer.fill(0xEE);
    EXPECT_EQ(ReadPipe(buffer.data(), 48, 1000), c.result) << c.what;
    EXPECT_EQ(platform.counts().readFile - before > 1, c.retries) << c.what;
    const auto delivered = static_cast<std::size_t>(std::max(c.result, 0));
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0x5A), delivered) << c.what;
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xEE), 48 - delivered) << c.what;
    if (c.result <= 0) {
      EXPECT_GE(clock.Now() - start, 1000u) << c.what << ": ends only after its time-out";
    }
  }
}

TEST_F(PipeTransferTest, AReplyLaterThanTheTimeOutIsNotTaken) {
  Answer late = Reply(8);
  late.delayMs = 1500;
  AnswerNextFrameWith(late);
  std::array<std::uint8_t, 8> buffer{};
  EXPECT_EQ(ReadPipe(buffer.data(), 8, 1000), TransferTimedOut);
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 8>{}));
}

TEST_F(PipeTransferTest, WriteResults) {
  const struct {
    const char* what;
    sim::WriteBehaviour behaviour;
    std::int32_t result;
    std::int32_t written;
  } cases[] = {
      {"whole", {}, 1, 9},
      {"short: completed, with its count", {sim::WriteFault::Short, 4}, 1, 5},
      {"stalls: time-out", {sim::WriteFault::Stalls}, TransferTimedOut, 0},
      {"wait fails", {sim::WriteFault::WaitFails}, TransferFailed, 0},
  };
  const std::array<std::uint8_t, 9> frame{0xAD, 0xFA, 0, 1, 0, 1, 0, 0xA9, 0x01};
  for (const auto& c : cases) {
    remote.writeHook = [&c](const sim::Received&) { return c.behaviour; };
    std::int32_t written = -7;
    EXPECT_EQ(WritePipe(frame.data(), 9, &written, 200), c.result) << c.what;
    EXPECT_EQ(written, c.written) << c.what;
  }
  EXPECT_EQ(writes.size(), std::size(cases)) << "one traced write per call, however many tries";
}

TEST_F(PipeTransferTest, NothingIsAttemptedWithoutACountOrAConnection) {
  std::array<std::uint8_t, 4> buffer{1, 2, 3, 4};
  std::int32_t written = 77;
  const int opens = platform.counts().createFile;
  EXPECT_EQ(ReadPipe(buffer.data(), 0, 1000), 0);
  EXPECT_EQ(WritePipe(buffer.data(), 0, &written, 200), 0);
  CloseDevice();
  CloseDevice();
  EXPECT_EQ(ReadPipe(buffer.data(), 4, 1000), 0);
  EXPECT_EQ(WritePipe(buffer.data(), 4, &written, 200), 0);
  EXPECT_EQ(platform.counts().createFile, opens);
  EXPECT_EQ(platform.counts().createEvent, 0);
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(written, 77);
}

TEST_F(PipeTransferTest, OpenFailsWhole) {
  for (const auto refused : {ReadPipeSuffix, WritePipeSuffix}) {
    CloseDevice();
    platform.faults.refuseOpen = [refused](std::string_view name, const FileOpen& how) {
      return !how.overlapped && name.ends_with(refused);
    };
    EXPECT_EQ(OpenDevice(), 0);
    EXPECT_EQ(DevicePath(), "");
    EXPECT_EQ(platform.OpenHandles(), 0) << "the pipe that did open is closed again";
  }
}

TEST_F(PipeTransferTest, AHandleLeftByATransferWithoutEventIsClosedByTheNext) {
  platform.faults.noEvents = true;
  std::array<std::uint8_t, 1> buffer{};
  std::int32_t written = 0;
  EXPECT_EQ(ReadPipe(buffer.data(), 1, 1000), 0);
  EXPECT_EQ(WritePipe(&Probe, 1, &written, 200), 0);
  EXPECT_EQ(platform.OpenHandles(), 4);
  platform.faults.noEvents = false;
  AnswerNextFrameWith(Reply(1));
  EXPECT_EQ(ReadPipe(buffer.data(), 1, 1000), 1);
  EXPECT_EQ(platform.OpenHandles(), 2);
  EXPECT_EQ(platform.OpenEvents(), 0);
}

TEST_F(PipeTransferTest, AnUnpluggedRemoteFailsEveryTransferAtOnce) {
  platform.SetPresent(&remote, false);
  std::array<std::uint8_t, 8> buffer{};
  std::int32_t written = 0;
  const sim::Millis start = clock.Now();
  EXPECT_EQ(WritePipe(&Probe, 1, &written, 200), 0);
  EXPECT_EQ(ReadPipe(buffer.data(), 8, 2000), 0);
  EXPECT_EQ(clock.Now(), start);
}

TEST(PipeTransferClock, NoSecondTryOnceTheTickCountShowsTheWholeTimeOut) {
  sim::VirtualClock clock(0, 0);  // readings take no time: elapsed is exactly the time-out
  sim::World world(clock);
  UsePlatform(world.platform);
  ASSERT_EQ(OpenDevice(), 1);
  std::array<std::uint8_t, 8> buffer{};
  EXPECT_EQ(ReadPipe(buffer.data(), 8, 1000), TransferTimedOut);
  EXPECT_EQ(world.platform.counts().readFile, 1);
  CloseDevice();
}

TEST(PipeTransferClock, TimeOutsHoldAcrossAWrapOfTheTickCount) {
  sim::VirtualClock clock(0xFFFFFF00u);
  sim::World world(clock);
  UsePlatform(world.platform);
  ASSERT_EQ(OpenDevice(), 1);
  std::array<std::uint8_t, 8> buffer{};
  EXPECT_EQ(ReadPipe(buffer.data(), 8, 1000), TransferTimedOut);
  EXPECT_GE(clock.Now(), 1000u);
  EXPECT_LT(clock.Now(), 1010u);
  CloseDevice();
}

TEST(PipeTransferClock, TheRealClockWaitsForRealReplies) {
  sim::RealClock clock;
  sim::World world(clock);
  sim::PaceLikeARealRemote(world);
  UsePlatform(world.platform);
  ASSERT_EQ(OpenDevice(), 1);
  std::int32_t written = 0;
  std::array<std::uint8_t, 1> ack{};
  const sim::Millis start = clock.Now();
  ASSERT_EQ(WritePipe(&Probe, 1, &written, 200), 1);
  EXPECT_EQ(ReadPipe(ack.data(), 1, 2000), 1);
  EXPECT_EQ(ack[0], 0xF6);
  EXPECT_GE(clock.Now() - start, 120u) << "the reply came no sooner than the remote sent it";
  EXPECT_EQ(ReadPipe(ack.data(), 1, 30), TransferTimedOut);
  CloseDevice();
}

}  // namespace
}  // namespace corvane::link
