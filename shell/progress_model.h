// ProgressBar1's three single-precision values and how full they draw the
// bar. Both windows keep their bar's state in one of these.
#pragma once

#include "shell/window_layout.h"

namespace corvane::shell {

// The integer steps both toolkits' bars are given: fine enough that the
// bar moves by every block of the largest image.
inline constexpr int BarSteps = 10000;

struct ProgressModel {
  float min = ProgressMinAtLoad;
  float max = ProgressMaxAtLoad;
  float value = ProgressMinAtLoad;

  // How much of the bar is filled, from 0 to 1. A value outside the range
  // (a run may set Max below the Value an earlier run left) shows as an
  // empty or full bar; an empty or reversed range shows empty.
  double Fraction() const {
    const double span = static_cast<double>(max) - static_cast<double>(min);
    if (!(span > 0)) {
      return 0;
    }
    const double filled = (static_cast<double>(value) - static_cast<double>(min)) / span;
    if (!(filled > 0)) {  // also a value that is not a number
      return 0;
    }
    return filled > 1 ? 1 : filled;
  }

  // The fill as a whole step out of `steps`, for toolkits with integer bars.
  int Position(int steps) const { return static_cast<int>(Fraction() * steps + 0.5); }
};

}  // namespace corvane::shell
