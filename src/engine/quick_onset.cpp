// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/quick_onset.h"

#include <algorithm>
#include <cmath>

namespace sonlet {

bool QuickOnset::Loud(const float frame[], int n, int threshold_level) {
  float older = 0.0f;
  float newest = 0.0f;
  for (int i = 0; i < n / 2; ++i) older += frame[i] * frame[i];
  for (int i = n / 2; i < n; ++i) newest += frame[i] * frame[i];
  const float energy = older + newest;
  // A power below one step of a 16-bit sample is digital silence: 0 dB, as the meter takes it.
  const float power = n > 0 ? energy / static_cast<float>(n) : 0.0f;
  level_ = 10.0f * std::log10(std::max(power, 1.0f));
  const float threshold = static_cast<float>(threshold_level);
  // A sound that has just ended still fills the older half of the frame and would carry the
  // pointer one more pass past where the user stopped; the newest half alone tells, once it
  // has fallen far below the threshold (much farther than a pitch period's swing in power).
  const int half = n - n / 2;
  const float newest_level =
      10.0f * std::log10(std::max(half > 0 ? newest / static_cast<float>(half) : 0.0f, 1.0f));
  const bool ended = newest_level < threshold - kEndedBelowDb;
  loud_ = loud_ ? level_ > threshold - kHysteresisDb && !ended : level_ > threshold;
  return loud_;
}

}  // namespace sonlet
