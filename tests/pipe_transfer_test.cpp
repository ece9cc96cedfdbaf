#include <algorithm>
#include <array>
#include <optional>

#include "sim_test_world.h"

namespace corvane::link {
namespace {

using sim::Answer;

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
  Answer late = Reply(8);
  late.delayMs = 1500;
  const struct {
    const char* what;
    Answer answer;
    bool raceOnTimeout;
    std::int32_t result;
    std::size_t delivered;
    bool retries;  // more than one read started
  } cases[] = {
      {"whole reply", Reply(48), false, 48, 48, false},
      {"short reply: its count", Reply(10), false, 10, 10, false},
      {"longer than asked: its count, nothing copied", Reply(49), false, 49, 0, false},
      {"never answered: one try, time-out", Reply(0), false, TransferTimedOut, 0, false},
      {"every try empty: repeats, then 0", Reply(0, sim::ReadMode::Empty), false, 0, 0, true},
      {"empty, but only after the time-out: a time-out", Reply(0, sim::ReadMode::Empty), true,
       TransferTimedOut, 0, false},
      {"wait fails", Reply(0, sim::ReadMode::WaitFails), false, TransferFailed, 0, true},
      {"completed between time-out and cancel: kept", Reply(48), true, 48, 48, false},
      {"later than the time-out: not taken", late, false, TransferTimedOut, 0, false},
  };
  for (const auto& c : cases) {
    AnswerNextFrameWith(c.answer);
    backend.faults.timeOutOnCompletion = c.raceOnTimeout;
    const int before = backend.ReadsStarted();
    const sim::Millis start = clock.Now();
    std::array<std::uint8_t, 48> buffer;
    buffer.fill(0xEE);
    EXPECT_EQ(ReadPipe(buffer.data(), 48, 1000), c.result) << c.what;
    EXPECT_EQ(backend.ReadsStarted() - before > 1, c.retries) << c.what;
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0x5A), c.delivered) << c.what;
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xEE), 48 - c.delivered) << c.what;
    if (c.result <= 0) {
      EXPECT_GE(clock.Now() - start, 1000u) << c.what << ": ends only after its time-out";
    }
  }
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
  const int opens = backend.Opens();
  EXPECT_EQ(ReadPipe(buffer.data(), 0, 1000), 0);
  EXPECT_EQ(WritePipe(buffer.data(), 0, &written, 200), 0);
  CloseDevice();
  CloseDevice();
  EXPECT_EQ(ReadPipe(buffer.data(), 4, 1000), 0);
  EXPECT_EQ(WritePipe(buffer.data(), 4, &written, 200), 0);
  EXPECT_EQ(backend.Opens(), opens);
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
  EXPECT_EQ(written, 77);
}

TEST_F(PipeTransferTest, OpenFailsWholeAndATransferWhoseFileWillNotOpenGivesZero) {
  EXPECT_EQ(OpenDevice(), 1);
  EXPECT_EQ(backend.OpenFiles(), 2) << "a second OpenDevice releases what the first held";
  for (const auto refused : {ReadPipeSuffix, WritePipeSuffix}) {
    CloseDevice();
    backend.faults.fails = [refused](sim::Call call, std::string_view name) {
      return call == sim::Call::Open && name.ends_with(refused);
    };
    EXPECT_EQ(OpenDevice(), 0);
    EXPECT_EQ(DevicePath(), "");
    EXPECT_EQ(backend.OpenFiles(), 0) << "the pipe that did open is closed again";
  }
  backend.faults.fails = nullptr;
  ASSERT_EQ(OpenDevice(), 1);
  backend.faults.fails = [](sim::Call call, std::string_view) { return call == sim::Call::Open; };
  std::array<std::uint8_t, 1> buffer{};
  std::int32_t written = 0;
  EXPECT_EQ(ReadPipe(buffer.data(), 1, 1000), 0);
  EXPECT_EQ(WritePipe(&Probe, 1, &written, 200), 0);
  EXPECT_EQ(backend.OpenFiles(), 2) << "only the held pipes";
}

TEST_F(PipeTransferTest, AnUnpluggedRemoteFailsEveryTransferAtOnce) {
  backend.SetPresent(false);
  std::array<std::uint8_t, 8> buffer{};
  std::int32_t written = 5;
  const sim::Millis start = clock.Now();
  EXPECT_EQ(WritePipe(&Probe, 1, &written, 200), 0);
  EXPECT_EQ(written, 5);
  EXPECT_EQ(ReadPipe(buffer.data(), 8, 2000), 0);
  EXPECT_EQ(clock.Now(), start);
}

TEST(PipeTransferClock, TimeOutsHoldExactlyAndAcrossAWrapOfTheTickCount) {
  const struct {
    std::uint32_t tickStart;
    std::uint32_t step;
    int readsStarted;
  } cases[] = {
      {0, 0, 1},            // readings take no time: elapsed is exactly the time-out
      {0xFFFFFF00u, 1, 1},  // the count wraps during the wait
  };
  for (const auto& c : cases) {
    sim::VirtualClock clock(c.tickStart, c.step);
    sim::World world(clock);
    const BackendInUse inUse(world.backend);
    ASSERT_EQ(OpenDevice(), 1);
    std::array<std::uint8_t, 8> buffer{};
    EXPECT_EQ(ReadPipe(buffer.data(), 8, 1000), TransferTimedOut);
    EXPECT_EQ(world.backend.ReadsStarted(), c.readsStarted);
    EXPECT_GE(clock.Now(), 1000u);
    EXPECT_LT(clock.Now(), 1010u);
  }
}

TEST(BackendInUse, ClosesTheLinkAndLeavesNoBackendBehind) {
  sim::VirtualClock clock;
  sim::World world(clock);
  {
    const BackendInUse inUse(world.backend);
    ASSERT_EQ(OpenDevice(), 1);
  }
  EXPECT_EQ(world.backend.OpenFiles(), 0);
  EXPECT_EQ(FindDevicePath(), "");
}

}  // namespace
}  // namespace corvane::link
