// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/vowel_map.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

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
  const SteadyFormants heard = formants_.Hear(candidates);
  // Sounds that glide through the space between vowels, as speech does, have a bearing now and
  // then; a held one has it pass after pass.
  if (SoundBearing(map_, heard, &bearing_x_, &bearing_y_)) {
    if (bearing_passes_ < kSteadyPasses) ++bearing_passes_;
  } else {
    bearing_passes_ = 0;
  }
  VowelDecision decision = Decide(heard);
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

bool CalibratedDecision::Bearing(float* x, float* y) const {
  if (bearing_passes_ < kSteadyPasses) return false;
  *x = bearing_x_;
  *y = bearing_y_;
  return true;
}

bool VowelOnTheWay(const VowelMap& map, int a, int b) {
  const VowelArea& p = map.vowels[a];
  const VowelArea& q = map.vowels[b];
  for (int c = 0; c < kVowelCount; ++c) {
    const VowelArea& r = map.vowels[c];
    if (c == a || c == b || !r.present) continue;
    const double ab[2] = {std::log(static_cast<double>(q.f1_hz) / p.f1_hz) / r.f1_spread,
                          std::log(static_cast<double>(q.f2_hz) / p.f2_hz) / r.f2_spread};
    const double ac[2] = {std::log(static_cast<double>(r.f1_hz) / p.f1_hz) / r.f1_spread,
                          std::log(static_cast<double>(r.f2_hz) / p.f2_hz) / r.f2_spread};
    const double length = ab[0] * ab[0] + ab[1] * ab[1];
    if (!(length > 0.0)) continue;
    const double t = (ab[0] * ac[0] + ab[1] * ac[1]) / length;
    if (t <= 0.0 || t >= 1.0) continue;
    const double off = std::hypot(ac[0] - t * ab[0], ac[1] - t * ab[1]);
    if (off <= kRejectionDistance) return true;
  }
  return false;
}

bool SoundBearing(const VowelMap& map, const SteadyFormants& heard, float* x, float* y) {
  if (!(heard.f1 > 0.0f && heard.f2 > 0.0f)) return false;
  double best_miss = std::numeric_limits<double>::infinity();
  double best_x = 0.0;
  double best_y = 0.0;
  for (int a = 0; a < kVowelCount; ++a) {
    for (int b = a + 1; b < kVowelCount; ++b) {
      const VowelArea& va = map.vowels[a];
      const VowelArea& vb = map.vowels[b];
      if (!va.present || !vb.present) continue;
      const Motion da = MotionFor(VowelDirection(a), 1);
      const Motion db = MotionFor(VowelDirection(b), 1);
      if (da.dx * db.dx + da.dy * db.dy < 0) continue;  // opposite directions
      if (VowelOnTheWay(map, a, b)) continue;
      // Log frequencies in the pair's pooled spreads, F3 too when all three sounds have it.
      const auto pooled = [](float s1, float s2) {
        return std::sqrt(0.5 * (static_cast<double>(s1) * s1 + static_cast<double>(s2) * s2));
      };
      const bool third = va.f3_hz > 0.0f && vb.f3_hz > 0.0f && heard.f3 > 0.0f;
      const int dims = third ? 3 : 2;
      const double spreads[3] = {pooled(va.f1_spread, vb.f1_spread),
                                 pooled(va.f2_spread, vb.f2_spread),
                                 pooled(va.f3_spread, vb.f3_spread)};
      const double pa[3] = {std::log(va.f1_hz), std::log(va.f2_hz), third ? std::log(va.f3_hz) : 0};
      const double pb[3] = {std::log(vb.f1_hz), std::log(vb.f2_hz), third ? std::log(vb.f3_hz) : 0};
      const double ph[3] = {std::log(heard.f1), std::log(heard.f2), third ? std::log(heard.f3) : 0};
      double along = 0.0;
      double length = 0.0;
      for (int d = 0; d < dims; ++d) {
        const double ab = (pb[d] - pa[d]) / spreads[d];
        along += ab * (ph[d] - pa[d]) / spreads[d];
        length += ab * ab;
      }
      const double t = length > 0.0 ? std::clamp(along / length, 0.0, 1.0) : 0.0;
      // The turn starts only past each vowel's core: a vowel said a little off its calibrated
      // centre, as every take is, still steers straight along its own direction.
      const double span = std::sqrt(length);
      const double core = std::min(static_cast<double>(kVowelCore), 0.25 * span);
      const double turned =
          span > 0.0 ? std::clamp((t * span - core) / (span - 2.0 * core), 0.0, 1.0) : 0.0;
      double miss = 0.0;
      for (int d = 0; d < dims; ++d) {
        const double off = (ph[d] - (pa[d] + t * (pb[d] - pa[d]))) / spreads[d];
        miss += off * off;
      }
      if (!WithinVowel(static_cast<float>(std::sqrt(miss)), dims) || miss >= best_miss) continue;
      best_miss = miss;
      // The angle turns evenly with the way along: a quarter of the way from "a"'s core to "e"'s
      // points a quarter of the right angle up, as the user hears the sound a quarter changed.
      const double from = std::atan2(da.dy, da.dx);
      double turn = std::atan2(db.dy, db.dx) - from;
      if (turn > std::numbers::pi) turn -= 2.0 * std::numbers::pi;
      if (turn < -std::numbers::pi) turn += 2.0 * std::numbers::pi;
      best_x = std::cos(from + turned * turn);
      best_y = std::sin(from + turned * turn);
    }
  }
  if (!(best_miss < std::numeric_limits<double>::infinity())) return false;
  *x = static_cast<float>(best_x);
  *y = static_cast<float>(best_y);
  return true;
}

}  // namespace sonlet
