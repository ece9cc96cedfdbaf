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
#include "pipe_device_backend.h"
#include "protocol/update_run.h"
#include "shell/win32/updater_window.h"

namespace corvane::win32_test {
namespace {

using shell::ControlId;

struct Path {
  const char* name;
  bool needsLoader;
};

// Shows what a run shows, without a remote.
protocol::Outcome ShowsProgress(protocol::WindowOperations& window) {
  window.SetProgressMax(100);
  window.SetProgressValue(50);
  window.SetStatusText("ready");
  return protocol::Outcome::Completed;
}

class UpdateOverPipes : public testing::TestWithParam<Path> {
 protected:
  // Wine opens handles of its own, for good, on a window's first click and
  // drawing; they are not the run's.
  static void SetUpTestSuite() {
    shell::win32::UpdaterWindow window(ShowsProgress);
    SendMessageA(window.control(ControlId::StartButton), BM_CLICK, 0, 0);
  }
};

TEST_P(UpdateOverPipes, SendsTheImagesWholeAndShowsSendCompleted) {
  ASSERT_TRUE(firmware::LoadMainImage());
  sim::SimRemote remote;
  if (GetParam().needsLoader) {
    remote.identityReply = sim::IdentityReplyWith({0x00, 0x09, 0x01, 0x01});
  }
  shell::win32::UpdaterWindow window(protocol::UpdateFirmware);
  const int handlesBefore = OpenHandleCount();
  {
    PipeRemote served(remote);
    PipeDeviceBackend backend(served);
    const link::BackendInUse inUse(backend);
    SendMessageA(window.control(ControlId::StartButton), BM_CLICK, 0, 0);
    served.Stop();
  }
  char status[64] = {};
  GetWindowTextA(window.control(ControlId::Status), status, sizeof status);
  EXPECT_STREQ(status, "Send completed");
  EXPECT_EQ(OpenHandleCount(), handlesBefore);
  EXPECT_EQ(remote.violations(), std::vector<std::string>{});

  std::vector<int> sent{firmware::MainImageId};
  if (GetParam().needsLoader) {
    sent.insert(sent.begin(), firmware::LoaderImageId);
  }
  ASSERT_EQ(remote.images().size(), sent.size());
  for (std::size_t i = 0; i < sent.size(); ++i) {
    const auto image = firmware::EmbeddedImage(sent[i]);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), remote.images()[i].bytes.begin(),
                           remote.images()[i].bytes.end()))
        << "image " << sent[i];
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, UpdateOverPipes,
                         testing::Values(Path{"direct", false}, Path{"loader", true}),
                         [](const auto& run) { return std::string(run.param.name); });

}  // namespace
}  // namespace corvane::win32_test
