// Whole updates as a person runs them: the updater window's Start, the link
// on the Win32 backend, and the simulated remote behind real named pipes.
// One run takes the direct path, one the loader path with its real
// eight-second restart pause.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "firmware/images.h"
#include "handle_count.h"
#include "link/device_link.h"
#include "pipe_remote.h"
#include "protocol/update_run.h"
#include "shell/win32/updater_window.h"

namespace corvane::win32_test {
namespace {

using shell::ControlId;

class UpdateOverPipes : public testing::TestWithParam<std::string> {
 protected:
  // Wine opens handles of its own, for good, on a window's first click and
  // drawing; they are not the run's.
  static void SetUpTestSuite() {
    shell::win32::UpdaterWindow window(
        [](protocol::WindowOperations& shown) {
          shown.SetProgressValue(50);
          shown.SetStatusText("ready");
          return protocol::RunResult{protocol::Outcome::Completed, {}};
        },
        "corvane-updater");
    SendMessageA(window.control(ControlId::StartButton), BM_CLICK, 0, 0);
  }
};

TEST_P(UpdateOverPipes, SendsTheImagesWholeAndShowsSendCompleted) {
  const auto images = firmware::Images::Embedded().value();
  const bool needsLoader = GetParam() == "loader";
  sim::SimRemote remote;
  if (needsLoader) {
    remote.identityReply = sim::IdentityReplyWith({0x00, 0x09, 0x01, 0x01});
  }
  PipeRemote* served = nullptr;
  shell::win32::UpdaterWindow window(
      [&](protocol::WindowOperations& shown) {
        link::DeviceLink link(*served);
        return protocol::UpdateFirmware(link, images, shown);
      },
      "corvane-updater");
  const int handlesBefore = OpenHandleCount();
  {
    PipeRemote serving(remote);
    served = &serving;
    SendMessageA(window.control(ControlId::StartButton), BM_CLICK, 0, 0);
    serving.Stop();
  }
  char status[64] = {};
  GetWindowTextA(window.control(ControlId::Status), status, sizeof status);
  EXPECT_STREQ(status, "Send completed");
  EXPECT_EQ(OpenHandleCount(), handlesBefore);
  EXPECT_EQ(remote.violations(), std::vector<std::string>{});

  const auto sent = needsLoader ? std::vector{firmware::LoaderImageId, firmware::MainImageId}
                                : std::vector{firmware::MainImageId};
  ASSERT_EQ(remote.images().size(), sent.size());
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const auto image = firmware::EmbeddedImage(sent[i]);
    EXPECT_TRUE(std::ranges::equal(image, remote.images()[i].bytes)) << "image " << sent[i];
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, UpdateOverPipes, testing::Values("direct", "loader"),
                         [](const auto& run) { return run.param; });

}  // namespace
}  // namespace corvane::win32_test
