// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "calibration/take_collector.h"
#include "calibration/vowel_map.h"

namespace sonlet {

// Fewest usable passes a take must give: with the settling passes, a vowel held about half a
// second above the threshold. Enough for a median that one slip cannot move.
inline constexpr int kFewestTakePasses = 20;

// Two vowels of different directions must lie at least this far apart, in their pooled
// spreads: half of it is where one's passes start to be taken for the other, and at 3 that
// happens to about one pass in fifteen of a vowel that wanders by its spread.
inline constexpr float kLeastSeparation = 3.0f;

struct CalibrationResult {
  enum class Status {
    kOk,
    kTooShort,  // vowel gave fewer than kFewestTakePasses passes (a missing take gives none)
    kOverlap,   // vowel and other lie closer than kLeastSeparation
  };
  Status status = Status::kOk;
  int vowel = -1;
  int other = -1;
  VowelMap map;
  // Per vowel: the nearest vowel of another direction and how far, in pooled spreads
  // (-1 and 0 when absent).
  int nearest[kVowelCount] = {-1, -1, -1, -1, -1};
  float separation[kVowelCount] = {};
};

// Distance between two vowels' centres, each log-frequency difference divided by the root of
// the mean of their squared spreads (F3 too when both have one).
float VowelSeparation(const VowelArea& a, const VowelArea& b);

// Learns a map from each vowel's passes (takes[v] for the vowel kVowelLetters[v]); u is left
// out unless with_u. The centre is the median of the log frequencies and the spread
// 1.4826 times their median absolute deviation: a cough or a slip in the take moves neither.
CalibrationResult BuildCalibration(const std::vector<SteadyFormants> (&takes)[kVowelCount],
                                   bool with_u);

}  // namespace sonlet
