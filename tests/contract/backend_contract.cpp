#include "backend_contract.h"

#include <array>
#include <optional>

#include "link/device_link.h"

namespace corvane::contract {
namespace {

using link::Collected;
using link::Handle;
using link::Pipe;
using link::PipeUse;
using link::WaitResult;

constexpr std::uint8_t Probe = 0xF8;
constexpr std::uint8_t Ack = 0xF6;
constexpr std::size_t ReadSize = 8;
constexpr std::byte Untouched{0xEE};

// The first probe gets `answer`; any later one the remote's own answer.
void AnswerFirstProbe(sim::SimRemote& remote, sim::Answer answer) {
  remote.answerHook = [answer, probes = 0](
                          const sim::Received& received,
                          const sim::Answer&) mutable -> std::optional<sim::Answer> {
    if (received.kind != sim::FrameKind::Probe || ++probes > 1) {
      return std::nullopt;
    }
    return answer;
  };
}

sim::Answer Replying(std::vector<std::uint8_t> bytes) {
  sim::Answer answer;
  answer.reply = std::move(bytes);
  return answer;
}

void WriteProbe(link::Backend& backend, Handle out) {
  const std::array<std::byte, 1> probe{std::byte{Probe}};
  backend.StartWrite(out, probe);
  EXPECT_EQ(backend.Wait(out, 1000), WaitResult::Ended);
  const Collected written = backend.CancelAndCollect(out);
  EXPECT_TRUE(written.completed);
  EXPECT_EQ(written.count, 1u);
}

}  // namespace

std::vector<Case> Cases() {
  using U = Case::Unplug;
  return {
      {"answered", [](sim::SimRemote&) {}, U::Never, 1000, WaitResult::Ended, {true, 1}, {Ack}},
      {"zero_length",
       [](sim::SimRemote& r) {
         sim::Answer empty;
         empty.mode = sim::ReadMode::Empty;
         AnswerFirstProbe(r, empty);
       },
       U::Never,
       1000,
       WaitResult::Ended,
       {true, 0},
       {}},
      {"never_answered_times_out_is_cancelled_and_collected",
       [](sim::SimRemote& r) { AnswerFirstProbe(r, {}); },
       U::Never,
       200,
       WaitResult::TimedOut,
       {false, 0},
       {},
       true},
      {"gone_while_pending",
       [](sim::SimRemote& r) { AnswerFirstProbe(r, {}); },
       U::WhileReadPending,
       2000,
       WaitResult::Ended,
       {false, 0},
       {},
       false,
       link::CauseKind::DeviceGone},
      {"failed_at_once",
       [](sim::SimRemote&) {},
       U::BeforeRead,
       2000,
       WaitResult::Ended,
       {false, 0},
       {},
       false,
       link::CauseKind::DeviceGone},
      {"longer_than_asked",
       [](sim::SimRemote& r) {
         AnswerFirstProbe(r, Replying({0xAD, 0xFA, 0, 0, 0, 2, 0, 0xA9, 0x77}));
       },
       U::Never,
       1000,
       WaitResult::Ended,
       {true, 9},
       {0xAD, 0xFA, 0, 0, 0, 2, 0, 0xA9}},
  };
}

void Check(Bed& bed, const Case& c) {
  c.answer(bed.remote());
  link::Backend& backend = bed.backend();
  std::string path;
  backend.VisitInterfaces(link::InterfaceClass, [&](std::string_view listed) {
    path = listed;
    return link::IsRemotePath(listed);
  });
  ASSERT_TRUE(link::IsRemotePath(path));
  const Handle out =
      backend.OpenPipe(path + std::string(link::WritePipeSuffix), Pipe::Write, PipeUse::Transfer)
          .file;
  const Handle in =
      backend.OpenPipe(path + std::string(link::ReadPipeSuffix), Pipe::Read, PipeUse::Transfer)
          .file;
  ASSERT_NE(out, link::InvalidHandle);
  ASSERT_NE(in, link::InvalidHandle);

  WriteProbe(backend, out);
  if (c.unplug == Case::Unplug::BeforeRead) {
    bed.Unplug();
  }
  std::array<std::byte, ReadSize> into;
  into.fill(Untouched);
  backend.StartRead(in, into);
  if (c.unplug == Case::Unplug::WhileReadPending) {
    bed.Unplug();
  }
  EXPECT_EQ(backend.Wait(in, c.readTimeoutMs), c.wait);
  const Collected read = backend.CancelAndCollect(in);
  EXPECT_EQ(read.completed, c.collected.completed);
  EXPECT_EQ(read.count, c.collected.count);
  EXPECT_EQ(read.cause.kind, c.cause) << read.cause.code << " " << read.cause.text;
  for (std::size_t i = 0; i < c.delivered.size(); ++i) {
    EXPECT_EQ(into[i], std::byte{c.delivered[i]}) << "byte " << i;
  }

  if (c.answeredAfterwards) {
    // Nothing of the cancelled read is left to swallow the next reply.
    WriteProbe(backend, out);
    into.fill(Untouched);
    backend.StartRead(in, into);
    EXPECT_EQ(backend.Wait(in, 1000), WaitResult::Ended);
    const Collected again = backend.CancelAndCollect(in);
    EXPECT_EQ(again.count, 1u);
    EXPECT_EQ(into[0], std::byte{Ack});
  }
  backend.ClosePipe(in);
  backend.ClosePipe(out);
}

std::string CaseName(const testing::TestParamInfo<Case>& info) {
  return info.param.name;
}

void PrintTo(const Case& c, std::ostream* out) {
  *out << c.name;
}

}  // namespace corvane::contract
