// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/ordered_formants.h"

#include "analysis/median5.h"

namespace sonlet {

SteadyFormants OrderedFormants::Hear(const float candidates[]) {
  // The accepted candidates in rising order, by insertion: there are at most eight.
  float lowest[kFormantRoots];
  int count = 0;
  for (int i = 0; i < kFormantRoots; ++i) {
    const float c = candidates[i];
    // Written so that a NaN is left out as well.
    if (!(c > 0.0f)) continue;
    int at = count++;
    for (; at > 0 && lowest[at - 1] > c; --at) lowest[at] = lowest[at - 1];
    lowest[at] = c;
  }
  float steady[3];
  for (int k = 0; k < 3; ++k) {
    // A missing formant enters as 0, as the engine's own medians take a missing candidate.
    steady[k] = median5(k < count ? lowest[k] : 0.0f, history_[k]);
  }
  return {steady[0], steady[1], steady[2]};
}

}  // namespace sonlet
