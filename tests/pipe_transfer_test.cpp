#include <algorithm>
#include <array>
#include <optional>
#include <stop_token>
#include <thread>

#include "sim_test_world.h"

namespace corvane::link {
namespace {

using sim::Answer;

constexpr std::array<std::uint8_t, 1> Probe{0xF8};

class PipeTransferTest : public SimTestWorld {
 protected:
  PipeTransferTest() { EXPECT_TRUE(link.OpenDevice().open); }

  // Makes the remote answer the next frame with `answer`.
  void AnswerNextFrameWith(Answer answer) {
    remote.answerHook = [answer](const sim::Received&, const Answer&) { return answer; };
    ASSERT_EQ(link.WritePipe(Probe, 200).status, PipeStatus::Completed);
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
    PipeStatus status;
    std::uint32_t count;
    std::size_t delivered;
    bool retries;  // more than one read started
  } cases[] = {
      {"whole reply", Reply(48), false, PipeStatus::Completed, 48, 48, false},
      {"short reply: its count", Reply(10), false, PipeStatus::Completed, 10, 10, false},
      {"longer than asked: its count, nothing copied", Reply(49), false, PipeStatus::Completed, 49,
       0, false},
      {"never answered: one try, time-out", Reply(0), false, PipeStatus::TimedOut, 0, 0, false},
      {"every try empty: repeats, then nothing", Reply(0, sim::ReadMode::Empty), false,
       PipeStatus::Completed, 0, 0, true},
      {"empty, but only after the time-out: a time-out", Reply(0, sim::ReadMode::Empty), true,
       PipeStatus::TimedOut, 0, 0, false},
      {"wait fails", Reply(0, sim::ReadMode::WaitFails), false, PipeStatus::Failed, 0, 0, true},
      {"completed between time-out and cancel: kept", Reply(48), true, PipeStatus::Completed, 48,
       48, false},
      {"later than the time-out: not taken", late, false, PipeStatus::TimedOut, 0, 0, false},
  };
  for (const auto& c : cases) {
    AnswerNextFrameWith(c.answer);
    backend.faults.timeOutOnCompletion = c.raceOnTimeout;
    const int before = backend.ReadsStarted();
    const sim::Millis start = clock.Now();
    std::array<std::uint8_t, 48> buffer;
    buffer.fill(0xEE);
    const PipeResult read = link.ReadPipe(buffer, 1000);
    EXPECT_EQ(read.status, c.status) << c.what;
    EXPECT_EQ(read.count, c.count) << c.what;
    EXPECT_EQ(backend.ReadsStarted() - before > 1, c.retries) << c.what;
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0x5A), c.delivered) << c.what;
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 0xEE), 48 - c.delivered) << c.what;
    if (!read.Delivered()) {
      EXPECT_GE(clock.Now() - start, 1000u) << c.what << ": ends only after its time-out";
    }
  }
}

TEST_F(PipeTransferTest, WriteResults) {
  const struct {
    const char* what;
    sim::WriteBehaviour behaviour;
    PipeStatus status;
    std::uint32_t written;
  } cases[] = {
      {"whole", {}, PipeStatus::Completed, 9},
      {"short: completed, with its count", {sim::WriteFault::Short, 4}, PipeStatus::Completed, 5},
      {"stalls: time-out", {sim::WriteFault::Stalls}, PipeStatus::TimedOut, 0},
      {"wait fails", {sim::WriteFault::WaitFails}, PipeStatus::Failed, 0},
  };
  const std::array<std::uint8_t, 9> frame{0xAD, 0xFA, 0, 1, 0, 1, 0, 0xA9, 0x01};
  for (const auto& c : cases) {
    remote.writeHook = [&c](const sim::Received&) { return c.behaviour; };
    const PipeResult write = link.WritePipe(frame, 200);
    EXPECT_EQ(write.status, c.status) << c.what;
    EXPECT_EQ(write.count, c.written) << c.what;
  }
  EXPECT_EQ(writes.size(), std::size(cases)) << "one traced write per call, however many tries";
}

TEST_F(PipeTransferTest, NothingIsAttemptedWithoutACountOrAConnection) {
  std::array<std::uint8_t, 4> buffer{1, 2, 3, 4};
  const int opens = backend.Opens();
  EXPECT_EQ(link.ReadPipe(std::span(buffer).first(0), 1000).status, PipeStatus::NotAttempted);
  EXPECT_EQ(link.WritePipe(std::span(buffer).first(0), 200).status, PipeStatus::NotAttempted);
  link.CloseDevice();
  link.CloseDevice();
  EXPECT_TRUE(link.ReadPipe(buffer, 1000).NothingRead());
  EXPECT_EQ(link.WritePipe(buffer, 200).status, PipeStatus::NotAttempted);
  EXPECT_EQ(backend.Opens(), opens);
  EXPECT_EQ(buffer, (std::array<std::uint8_t, 4>{1, 2, 3, 4}));
}

TEST_F(PipeTransferTest, OpenFailsWholeWithItsCauseAndATransferWhoseFileWillNotOpenGivesNothing) {
  EXPECT_TRUE(link.OpenDevice().open);
  EXPECT_EQ(backend.OpenFiles(), 2) << "a second OpenDevice releases what the first held";
  backend.faults.refusal = {CauseKind::HeldByAnotherProgram, 32, "in use"};
  for (const auto refused : {ReadPipeSuffix, WritePipeSuffix}) {
    link.CloseDevice();
    backend.faults.fails = [refused](sim::Call call, std::string_view name) {
      return call == sim::Call::Open && name.ends_with(refused);
    };
    const OpenResult opened = link.OpenDevice();
    EXPECT_FALSE(opened.open);
    EXPECT_EQ(opened.cause, backend.faults.refusal);
    EXPECT_EQ(link.DevicePath(), "");
    EXPECT_EQ(backend.OpenFiles(), 0) << "the pipe that did open is closed again";
  }
  backend.faults.fails = nullptr;
  ASSERT_TRUE(link.OpenDevice().open);
  backend.faults.fails = [](sim::Call call, std::string_view) { return call == sim::Call::Open; };
  std::array<std::uint8_t, 1> buffer{};
  const sim::Millis start = clock.Now();
  EXPECT_TRUE(link.ReadPipe(buffer, 1000).NothingRead());
  const PipeResult write = link.WritePipe(Probe, 200);
  EXPECT_EQ(write.status, PipeStatus::NotAttempted);
  EXPECT_EQ(write.count, 0u);
  EXPECT_EQ(write.cause, backend.faults.refusal) << "the system's cause";
  EXPECT_EQ(clock.Now(), start) << "nothing to wait for";
  EXPECT_EQ(backend.OpenFiles(), 2) << "only the held pipes";
  // A read whose start fails at once ends with nothing read.
  backend.faults.fails = [](sim::Call call, std::string_view) {
    return call == sim::Call::StartRead;
  };
  buffer.fill(0xEE);
  const PipeResult failed = link.ReadPipe(buffer, 1000);
  EXPECT_TRUE(failed.NothingRead());
  EXPECT_EQ(failed.count, 0u);
  EXPECT_EQ(buffer[0], 0xEE);
}

TEST(PipeTransferClock, TimeOutsHoldExactlyAndAcrossAWrapOfTheTickCount) {
  const struct {
    std::uint32_t tickStart;
    std::uint32_t step;
    bool stoppable;  // then the wait is cut into slices that watch for a stop
    int mostWaits;
  } cases[] = {
      {0, 0, false, 1},            // readings take no time: elapsed is exactly the time-out
      {0xFFFFFF00u, 1, false, 1},  // the count wraps during the wait
      {0xFFFFFF00u, 1, true, 10},  // and during a wait in slices of 100 ms
  };
  for (const auto& c : cases) {
    sim::VirtualClock clock(c.tickStart, c.step);
    sim::World world(clock);
    std::stop_source stop;
    std::optional<DeviceLink> link(std::in_place, world.backend,
                                   c.stoppable ? stop.get_token() : std::stop_token{});
    ASSERT_TRUE(link->OpenDevice().open);
    std::array<std::uint8_t, 8> buffer{};
    EXPECT_EQ(link->ReadPipe(buffer, 1000).status, PipeStatus::TimedOut);
    EXPECT_EQ(world.backend.ReadsStarted(), 1);
    EXPECT_LE(world.backend.Waits(), c.mostWaits) << "start " << c.tickStart;
    EXPECT_GE(clock.Now(), 1000u);
    EXPECT_LT(clock.Now(), 1010u);
    link.reset();
    EXPECT_EQ(world.backend.OpenFiles(), 0) << "a link ending open closes what it holds";
  }
}

// A stop ends a wait within a slice, fails what follows, and leaves the
// link as closable as ever.
TEST(PipeTransferStop, EndsAWaitEarlyAndRefusesWhatFollows) {
  sim::RealClock clock;
  sim::World world(clock);
  std::stop_source stop;
  DeviceLink link(world.backend, stop.get_token());
  ASSERT_TRUE(link.OpenDevice().open);
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop.request_stop();
  });
  std::array<std::uint8_t, 8> buffer{};
  const PipeResult read = link.ReadPipe(buffer, 60000);  // never answered
  stopper.join();
  EXPECT_EQ(read.status, PipeStatus::Failed);
  EXPECT_EQ(read.cause.kind, CauseKind::Stopped);
  EXPECT_LT(clock.Now(), 1000u);
  EXPECT_EQ(link.WritePipe(Probe, 200).cause.kind, CauseKind::Stopped);
  EXPECT_EQ(link.OpenDevice().cause.kind, CauseKind::Stopped);
  link.Pause(60000);
  EXPECT_LT(clock.Now(), 1000u) << "a pause ends at once once stopped";
  EXPECT_EQ(world.backend.OpenFiles(), 0);
}

}  // namespace
}  // namespace corvane::link
