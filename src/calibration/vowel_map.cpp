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

float VowelDistance(const VowelArea& area, const SteadyFormants& heard, int* formants_used) {
  if (formants_used != nullptr) *formants_used = 0;
  // Written so that a NaN also fails: it is no frequency.
  if (!(heard.f1 > 0.0f && heard.f2 > 0.0f)) return std::numeric_limits<float>::infinity();
  // SteadyFormants of one vowel vary by a ratio, not by a number of hertz: log frequency.
  const auto term = [](float hz, float centre, float spread) {
    const double d = std::log(static_cast<double>(hz) / centre) / spread;
    return d * d;
  };
  double sum =
      term(heard.f1, area.f1_hz, area.f1_spread) + term(heard.f2, area.f2_hz, area.f2_spread);
  int used = 2;
  if (area.f3_hz > 0.0f && heard.f3 > 0.0f) {
    sum += term(heard.f3, area.f3_hz, area.f3_spread);
    used = 3;
  }
  if (formants_used != nullptr) *formants_used = used;
  return static_cast<float>(std::sqrt(sum));
}

bool WithinVowel(float distance, int formants_used) {
  // The 99 % points of chi-square with 2 and 3 degrees of freedom.
  const float limit = formants_used >= 3 ? 11.345f : kRejectionDistance * kRejectionDistance;
  return distance * distance <= limit;
}

VowelMatch NearestVowel(const VowelMap& map, const SteadyFormants& heard) {
  VowelMatch best;
  best.distance = std::numeric_limits<float>::infinity();
  for (int v = 0; v < kVowelCount; ++v) {
    if (!map.vowels[v].present) continue;
    int used = 0;
    const float d = VowelDistance(map.vowels[v], heard, &used);
    if (best.vowel < 0 || d < best.distance) best = {v, d, used};
  }
  return best;
}

VowelDecision CalibratedDecision::Hear(const float candidates[]) {
  VowelDecision decision = Decide(formants_.Hear(candidates));
  // A pass near no vowel (a slip of the analysis) neither counts nor breaks the count; another
  // vowel starts it again.
  if (decision.vowel == 0) return decision;
  same_vowel_passes_ = decision.vowel == last_vowel_ ? same_vowel_passes_ + 1 : 1;
  last_vowel_ = decision.vowel;
  if (same_vowel_passes_ < kSteadyPasses) decision.direction = Direction::kNone;
  return decision;
}

VowelDecision CalibratedDecision::Decide(const SteadyFormants& heard) const {
  const VowelMatch match = NearestVowel(map_, heard);
  if (match.vowel < 0 || !WithinVowel(match.distance, match.formants_used)) {
    return {Direction::kNone, 0, heard.f1, heard.f2};
  }
  return {VowelDirection(match.vowel), kVowelLetters[match.vowel], heard.f1, heard.f2};
}

}  // namespace sonlet
