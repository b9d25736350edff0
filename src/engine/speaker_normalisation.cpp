// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/speaker_normalisation.h"

#include <cmath>
#include <cstdlib>

namespace sonlet {

namespace {
constexpr double kReferenceTract = 17.5;  // cm
}  // namespace

float TractLength(int height_cm, bool male) {
  const float height = static_cast<float>(height_cm);
  if (male) {
    const float product = 0.08f * height;
    return 2.75f + product;
  }
  const float product = 0.04f * height;
  return 6.645f + product;
}

SpeakerNormalisation NormaliseSpeaker(int height_setting, int speed_setting, bool male,
                                      float f1_median, float f2_median, bool loud_and_voiced) {
  SpeakerNormalisation n;
  n.height_cm = height_setting + 90;
  n.speed_step = (100 - speed_setting) / 13;
  n.tract_length = TractLength(n.height_cm, male);
  if (loud_and_voiced) {
    // Whole hertz are enough for the region table; the products are formed in double so that a
    // value such as 670 is not lost to 669.99994 by a float rounding before the truncation.
    const double scale = static_cast<double>(n.tract_length) / kReferenceTract;
    n.f1 = static_cast<float>(std::trunc(static_cast<double>(f1_median) * scale));
    n.f2 = static_cast<float>(std::trunc(static_cast<double>(f2_median) * scale));
  }
  return n;
}

int LoudnessBonus(float level, int threshold_level) {
  const float above = level - static_cast<float>(threshold_level);
  // Beyond the range of int the voice is far past any threshold; the meters stop there anyway.
  const int d = std::isfinite(above) && std::fabs(above) < 1e9f ? static_cast<int>(above) : 0;
  const int h = d / 2;
  return std::abs(h) - 2;
}

}  // namespace sonlet
