// ProgressBar1's three single-precision values and what they mean: how full
// the bar is, how much is done. Both windows and corvane-flash's displays
// keep the bar's state in one of these.
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

  // The span of the range; none when it is empty or reversed.
  double Total() const {
    const double span = static_cast<double>(max) - static_cast<double>(min);
    return span > 0 ? span : 0;
  }

  // How far into the range the value is. A value outside the range (a run
  // may set Max below the Value an earlier run left) is held at its ends;
  // one that is not a number is at its start.
  double Done() const {
    const double into = static_cast<double>(value) - static_cast<double>(min);
    if (!(into > 0)) {
      return 0;
    }
    return into < Total() ? into : Total();
  }

  // How much of the bar is filled, from 0 to 1.
  double Fraction() const { return Total() > 0 ? Done() / Total() : 0; }

  // The whole percent done, rounded down.
  int Percent() const { return Total() > 0 ? static_cast<int>(Done() * 100 / Total()) : 0; }

  // The fill as a whole step out of `steps`, for toolkits with integer bars.
  int Position(int steps) const { return static_cast<int>(Fraction() * steps + 0.5); }
};

}  // namespace corvane::shell
