// corvane-updater as a user starts it: no arguments, a real X display, and a
// remote on a simulated USB bus that the program reaches through libusb.
// Run under xvfb-run and umockdev-wrapper; the program inherits both.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "firmware/images.h"
#include "shell/window_layout.h"
#include "usb_remote_testbed.h"

extern char** environ;

namespace corvane {
namespace {

using namespace std::chrono_literals;

const std::string FindWindow =
    "timeout 30 xdotool search --sync --onlyvisible --name '^Corvane Firmware Updater'";

// Clicks a control of the window, at its centre at Xvfb's 96 dots per inch.
bool Click(shell::ControlId id) {
  const shell::TwipsRect rect = shell::ClientRect(shell::ControlFor(id));
  const auto pixels = [](int twips) {
    return std::to_string(shell::TwipsToPixels(twips, shell::DesignDpi));
  };
  const std::string command = FindWindow + " mousemove --window %1 " +
                              pixels(rect.left + rect.width / 2) + " " +
                              pixels(rect.top + rect.height / 2) + " click 1";
  return std::system(command.c_str()) == 0;
}

template <typename Done>
bool Within(std::chrono::seconds limit, Done done) {
  for (const auto deadline = std::chrono::steady_clock::now() + limit; !done();) {
    if (std::chrono::steady_clock::now() > deadline) {
      return false;
    }
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

// Killed at the end unless it was seen to end.
struct Program {
  pid_t pid = 0;
  ~Program() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

class UpdaterProgram : public testing::TestWithParam<bool> {};

TEST_P(UpdaterProgram, StartUpdatesTheRemoteAndExitEnds) {
  const bool needsLoader = GetParam();
  sim::SimRemote remote;
  struct Sent {
    int id;
    std::int32_t bytes;
    sim::FrameKind end;
    bool afterRestart;
  };
  // After the loader, only a remote that left and came back takes the main
  // image as one that restarted.
  std::vector<Sent> expected{
      {firmware::MainImageId, firmware::MainImageSize, sim::FrameKind::MainEnd, needsLoader}};
  if (needsLoader) {
    remote.identityReply = sim::IdentityReplyWith({0x00, 0x09, 0x01, 0x01});
    expected.insert(expected.begin(), {firmware::LoaderImageId, firmware::LoaderImageSize,
                                       sim::FrameKind::LoaderEnd, false});
  }
  usbtest::UsbRemoteTestbed bus(remote);

  Program program;
  char* argv[] = {const_cast<char*>(CORVANE_UPDATER), nullptr};
  ASSERT_EQ(posix_spawn(&program.pid, CORVANE_UPDATER, nullptr, nullptr, argv, environ), 0);
  ASSERT_EQ(std::system((FindWindow + " >/dev/null").c_str()), 0) << "the window did not appear";
  EXPECT_EQ(bus.Holds().claimsMade, 0) << "the remote was claimed before Start";

  ASSERT_TRUE(Click(shell::ControlId::StartButton));
  ASSERT_TRUE(Within(60s, [&] {
    return bus.WithRemote([&](const sim::SimRemote& r) {
      return r.images().size() == expected.size();
    }) && bus.Holds().claimedInterfaces == 0;  // the run closed the link
  })) << "the images did not arrive, or the link stayed open";
  ASSERT_TRUE(Click(shell::ControlId::ExitButton));
  int status = -1;
  if (Within(20s, [&] { return waitpid(program.pid, &status, WNOHANG) == program.pid; })) {
    program.pid = 0;
  }
  EXPECT_EQ(status, 0) << "the wait status after Exit";

  bus.WithRemote([&](const sim::SimRemote& r) {
    EXPECT_EQ(r.violations(), std::vector<std::string>{});
    for (std::size_t i = 0; i < expected.size(); ++i) {
      const auto image = firmware::EmbeddedImage(expected[i].id)
                             .first(static_cast<std::size_t>(expected[i].bytes));
      EXPECT_EQ(r.images()[i].end, expected[i].end) << i;
      EXPECT_EQ(r.images()[i].afterRestart, expected[i].afterRestart) << i;
      EXPECT_TRUE(std::ranges::equal(r.images()[i].bytes, image))
          << "image " << i << " byte for byte";
    }
  });
}

INSTANTIATE_TEST_SUITE_P(Paths, UpdaterProgram, testing::Bool(),
                         [](const auto& row) { return row.param ? "loader" : "direct"; });

}  // namespace
}  // namespace corvane
