#include <gtest/gtest.h>

#include <limits>

#include "shell/progress_model.h"

namespace corvane::shell {
namespace {

TEST(ProgressModel, FillsInProportionAndClampsOutOfRangeValues) {
  constexpr float nan = std::numeric_limits<float>::quiet_NaN();
  struct Case {
    float min, max, value;
    double fraction;
  };
  const Case cases[] = {
      {0, 100, 0, 0.0},  // at load
      {0, 78336, 4096, 4096.0 / 78336},
      {0, 78336, 78336, 1.0},
      {0, 78336, 95744, 1.0},  // a Value left above a new, lower Max
      {0, 78336, -5, 0.0},
      {10, 10, 10, 0.0},  // empty range
      {100, 0, 50, 0.0},  // reversed range
      {0, 100, nan, 0.0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.min << ".." << c.max << " at " << c.value);
    const ProgressModel model{c.min, c.max, c.value};
    EXPECT_DOUBLE_EQ(model.Fraction(), c.fraction);
  }
  EXPECT_EQ((ProgressModel{0, 78336, 4096}.Position(10000)), 523);
}

}  // namespace
}  // namespace corvane::shell
