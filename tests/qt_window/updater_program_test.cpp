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

#include "firmware/images.h"
#include "protocol/update_run.h"
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

// Clicks a control of the window, at its centre at Xvfb's 96 dots per inch.
bool Click(const std::string& window, shell::ControlId id) {
  const shell::TwipsRect rect = shell::ClientRect(shell::ControlFor(id));
  const auto pixels = [](int twips) {
    return std::to_string(shell::TwipsToPixels(twips, shell::DesignDpi));
  };
  const std::string command = "xdotool mousemove --window " + window + " " +
                              pixels(rect.left + rect.width / 2) + " " +
                              pixels(rect.top + rect.height / 2) + " click 1";
  return std::system(command.c_str()) == 0;
}

class Program {
 public:
  Program() {
    char* argv[] = {const_cast<char*>(CORVANE_UPDATER), nullptr};
    started_ = posix_spawn(&pid_, CORVANE_UPDATER, nullptr, nullptr, argv, environ) == 0;
  }
  ~Program() {
    if (started_ && !ended_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  bool started() const { return started_; }

  // The exit status once the program has ended within `limit`.
  std::optional<int> WaitForEnd(Clock::duration limit) {
    for (const auto deadline = Clock::now() + limit; Clock::now() < deadline;) {
      int status = 0;
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

struct Image {
  sim::FrameKind end;
  bool afterRestart;
  std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> Embedded(int id, std::int32_t count) {
  const auto image = firmware::EmbeddedImage(id).first(static_cast<std::size_t>(count));
  return {image.begin(), image.end()};
}

struct Path {
  const char* name;
  bool needsLoader;
};

class UpdaterProgram : public testing::TestWithParam<Path> {};

TEST_P(UpdaterProgram, StartUpdatesTheRemoteAndExitEnds) {
  sim::SimRemote remote;
  std::vector<Image> expected;
  if (GetParam().needsLoader) {
    remote.identityReply = sim::IdentityReplyWith({0x00, 0x09, 0x01, 0x01});
    expected.push_back({sim::FrameKind::LoaderEnd, false,
                        Embedded(firmware::LoaderImageId, protocol::LoaderTransferSize)});
  }
  // After the loader, only a remote that left and came back takes the main
  // image as one that restarted.
  expected.push_back({sim::FrameKind::MainEnd, GetParam().needsLoader,
                      Embedded(firmware::MainImageId, firmware::MainImageBytes)});
  usbtest::UsbRemoteTestbed bus(remote);

  Program program;
  ASSERT_TRUE(program.started());
  std::string window =
      Output("timeout 30 xdotool search --sync --onlyvisible --name '^Corvane Firmware Updater'");
  ASSERT_FALSE(window.empty()) << "the window did not appear";
  window.resize(window.find('\n'));
  EXPECT_EQ(bus.Holds().claimsMade, 0) << "the remote was claimed before Start";

  ASSERT_TRUE(Click(window, shell::ControlId::StartButton));
  const auto done = [&] {
    return bus.WithRemote([&](const sim::SimRemote& r) {
      return r.images().size() == expected.size();
    }) && bus.Holds().claimedInterfaces == 0;  // the run closed the link
  };
  for (const auto deadline = Clock::now() + 60s; !done() && Clock::now() < deadline;) {
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_TRUE(done()) << "the images did not arrive, or the link stayed open";
  ASSERT_TRUE(Click(window, shell::ControlId::ExitButton));
  EXPECT_EQ(program.WaitForEnd(20s), std::optional<int>(0));

  bus.WithRemote([&](const sim::SimRemote& r) {
    EXPECT_EQ(r.violations(), std::vector<std::string>{});
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(r.images()[i].end, expected[i].end) << i;
      EXPECT_EQ(r.images()[i].afterRestart, expected[i].afterRestart) << i;
      EXPECT_TRUE(r.images()[i].bytes == expected[i].bytes) << "image " << i << " byte for byte";
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Paths, UpdaterProgram,
                         testing::Values(Path{"direct", false}, Path{"loader", true}),
                         [](const testing::TestParamInfo<Path>& row) { return row.param.name; });

}  // namespace
}  // namespace corvane
