// corvane-updater as a user starts it: no arguments, a real X display, and a
// remote on a simulated USB bus that the program reaches through libusb.
// Run under xvfb-run and umockdev-wrapper; the program inherits both.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "shell/images.h"
#include "shell/window_layout.h"
#include "usb_remote_testbed.h"

extern char** environ;

namespace corvane {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The command's standard output; empty when it failed.
std::string Output(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    return output;
  }
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) {
    output += buffer;
  }
  return pclose(pipe) == 0 ? output : std::string();
}

// A control's centre in window coordinates at 96 dots per inch, Xvfb's.
std::string CentreOf(shell::ControlId id) {
  const shell::TwipsRect rect = shell::ClientRect(shell::ControlFor(id));
  const auto pixels = [](int twips) {
    return std::to_string(shell::TwipsToPixels(twips, shell::DesignDpi));
  };
  return pixels(rect.left + rect.width / 2) + " " + pixels(rect.top + rect.height / 2);
}

std::string Describe(const sim::Received& frame) {
  switch (frame.kind) {
    case sim::FrameKind::Probe:
      return "probe";
    case sim::FrameKind::IdentityRequest:
      return "identity request";
    case sim::FrameKind::Block:
      return "block " + std::to_string(frame.block);
    case sim::FrameKind::MainEnd:
      return "main end";
    case sim::FrameKind::LoaderEnd:
      return "loader end";
    case sim::FrameKind::Unknown:
      break;
  }
  return "unknown";
}

class UpdaterProgram {
 public:
  UpdaterProgram() {
    char* argv[] = {const_cast<char*>(CORVANE_UPDATER), nullptr};
    started_ = posix_spawn(&pid_, CORVANE_UPDATER, nullptr, nullptr, argv, environ) == 0;
  }
  ~UpdaterProgram() {
    if (!ended_ && started_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  UpdaterProgram(const UpdaterProgram&) = delete;
  UpdaterProgram& operator=(const UpdaterProgram&) = delete;

  bool started() const { return started_; }

  // The exit status once the program has ended within `limit`.
  std::optional<int> WaitForEnd(Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    int status = 0;
    while (Clock::now() < deadline) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        ended_ = true;
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      }
      std::this_thread::sleep_for(50ms);
    }
    return std::nullopt;
  }

 private:
  pid_t pid_ = 0;
  bool started_ = false;
  bool ended_ = false;
};

TEST(UpdaterProgram, FindsTheRemoteAndStartSendsItADirectUpdate) {
  sim::SimRemote remote;
  std::vector<std::string> frames;  // as the remote took them
  remote.answerHook = [&frames](const sim::Received& frame,
                                const sim::Answer&) -> std::optional<sim::Answer> {
    frames.push_back(Describe(frame));
    return std::nullopt;
  };
  usbtest::UsbRemoteTestbed bus(remote);

  UpdaterProgram program;
  ASSERT_TRUE(program.started());
  const std::string window =
      Output("timeout 30 xdotool search --sync --onlyvisible --name '^Corvane Firmware Updater'");
  ASSERT_FALSE(window.empty()) << "the window did not appear";
  const std::string click =
      "xdotool mousemove --window " + window.substr(0, window.find('\n')) + " ";
  EXPECT_TRUE(bus.WithRemote([&](const sim::SimRemote&) { return frames.empty(); }))
      << "the remote was sent frames before Start";
  const auto holdsBeforeStart = bus.Holds();
  EXPECT_EQ(holdsBeforeStart.claimedInterfaces, 0) << "the remote was claimed before Start";
  EXPECT_EQ(holdsBeforeStart.urbsInFlight, 0u) << "a transfer was queued before Start";

  ASSERT_EQ(std::system((click + CentreOf(shell::ControlId::StartButton) + " click 1").c_str()), 0);
  const auto deadline = Clock::now() + 30s;
  auto done = [&] {
    return bus.WithRemote([](const sim::SimRemote& r) { return !r.images().empty(); }) &&
           bus.Holds().claimedInterfaces == 0;  // the run closed the link
  };
  while (!done() && Clock::now() < deadline) {
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_TRUE(done()) << "no image arrived, or the link stayed open";

  ASSERT_EQ(std::system((click + CentreOf(shell::ControlId::ExitButton) + " click 1").c_str()), 0);
  EXPECT_EQ(program.WaitForEnd(20s), std::optional<int>(0));

  std::vector<std::string> expected{"probe", "identity request"};
  for (int block = 1; block <= 20; ++block) {
    expected.push_back("block " + std::to_string(block));
  }
  expected.push_back("main end");
  std::vector<std::uint8_t> mainImage = shell::LoadImage(shell::MainImageId);
  mainImage.resize(shell::MainImageBytes);
  bus.WithRemote([&](const sim::SimRemote& r) {
    EXPECT_EQ(frames, expected);
    EXPECT_EQ(r.violations(), std::vector<std::string>{});
    ASSERT_EQ(r.images().size(), 1u);
    EXPECT_EQ(r.images()[0].end, sim::FrameKind::MainEnd);
    EXPECT_EQ(r.images()[0].headerFlag, 0);
    EXPECT_TRUE(r.images()[0].bytes == mainImage);
  });
}

}  // namespace
}  // namespace corvane
