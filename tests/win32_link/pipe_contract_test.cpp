// The backend contract kept by the Win32 backend on real pipe files,
// events, waits and cancelling, with the simulated remote served over
// named pipes behind it.
#include <gtest/gtest.h>

#include "backend_contract.h"
#include "handle_count.h"
#include "pipe_remote.h"

namespace corvane::win32_test {
namespace {

class PipeBed final : public contract::Bed {
 public:
  link::Backend& backend() override { return served_; }
  sim::SimRemote& remote() override { return remote_; }
  void Unplug() override { served_.Unplug(); }

 private:
  sim::SimRemote remote_;
  PipeRemote served_{remote_};
};

class Win32Pipes : public testing::TestWithParam<contract::Case> {};

TEST_P(Win32Pipes, KeepTheContract) {
  const int handlesBefore = OpenHandleCount();
  {
    PipeBed bed;
    contract::Check(bed, GetParam());
  }
  EXPECT_EQ(OpenHandleCount(), handlesBefore);
}

INSTANTIATE_TEST_SUITE_P(Win32Pipes, Win32Pipes, testing::ValuesIn(contract::Cases()),
                         contract::CaseName);

}  // namespace
}  // namespace corvane::win32_test
