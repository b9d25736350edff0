#include "calibration/vowel_map.h"

#include <cmath>
#include <limits>

namespace sonlet {

Direction VowelDirection(int vowel) {
  switch (vowel) {
    case 0:
      return Direction::kRight;
    case 1:
      return Direction::kUp;
    case 2:
      return Direction::kLeft;
    case 3:
    case 4:
      return Direction::kDown;
    default:
      return Direction::kNone;
  }
}

int VowelIndex(char letter) {
  for (int v = 0; v < kVowelCount; ++v) {
    if (kVowelLetters[v] == letter) return v;
  }
  return -1;
}

float VowelDistance(const VowelArea& area, float f1_hz, float f2_hz) {
  // Written so that a NaN also fails: it is no frequency.
  if (!(f1_hz > 0.0f && f2_hz > 0.0f)) return std::numeric_limits<float>::infinity();
  // Formants of one vowel vary by a ratio, not by a number of hertz: log frequency.
  const double d1 = std::log(static_cast<double>(f1_hz) / area.f1_hz) / area.f1_spread;
  const double d2 = std::log(static_cast<double>(f2_hz) / area.f2_hz) / area.f2_spread;
  return static_cast<float>(std::sqrt(d1 * d1 + d2 * d2));
}

VowelMatch NearestVowel(const VowelMap& map, float f1_hz, float f2_hz) {
  VowelMatch best;
  best.distance = std::numeric_limits<float>::infinity();
  for (int v = 0; v < kVowelCount; ++v) {
    if (!map.vowels[v].present) continue;
    const float d = VowelDistance(map.vowels[v], f1_hz, f2_hz);
    if (best.vowel < 0 || d < best.distance) best = {v, d};
  }
  return best;
}

VowelDecision CalibratedDecision::Decide(float f1_median, float f2_median) const {
  const VowelMatch match = NearestVowel(map_, f1_median, f2_median);
  if (match.vowel < 0 || !(match.distance <= kRejectionDistance)) return {};
  return {VowelDirection(match.vowel), kVowelLetters[match.vowel]};
}

}  // namespace sonlet
