// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/quick_onset.h"

#include <algorithm>
#include <cmath>

namespace sonlet {

bool QuickOnset::Loud(const float frame[], int n, int threshold_level) {
  float energy = 0.0f;
  for (int i = 0; i < n; ++i) energy += frame[i] * frame[i];
  // A power below one step of a 16-bit sample is digital silence: 0 dB, as the meter takes it.
  const float power = n > 0 ? energy / static_cast<float>(n) : 0.0f;
  level_ = 10.0f * std::log10(std::max(power, 1.0f));
  const float threshold = static_cast<float>(threshold_level);
  loud_ = loud_ ? level_ > threshold - kHysteresisDb : level_ > threshold;
  return loud_;
}

}  // namespace sonlet
