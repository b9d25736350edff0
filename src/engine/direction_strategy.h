// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/formants.h"
#include "engine/direction_decision.h"

namespace sonlet {

// A way of deciding the direction other than the fixed vowel regions: a map of one user's own
// vowels, learnt from takes of that voice. Without one the engine keeps to the regions.

// The vowel a strategy heard, as the trace writes it: 'a', 'e', 'i', 'o', 'u', or 0 for none,
// and the formants it judged by.
struct VowelDecision {
  Direction direction = Direction::kNone;
  char vowel = 0;
  float f1 = 0.0f;  // Hz
  float f2 = 0.0f;  // Hz
};

// The broadest pole that is still a formant. Eight predictor coefficients give four pole pairs;
// a woman's or a child's voice has only three formants below 4 kHz, and the spare pair fills a
// gap between two of them (a child's "i": 400, 1500, 3050 and 3550 Hz, the 1500 one some
// 1700 Hz broad where the formants are 80 to 400), wandering with the pitch and the take. Taken
// for a formant, it stands in for the second or third, and the vowels of those voices look
// alike.
inline constexpr float kBroadestFormantHz = 1000.0f;

// in: candidates and their bandwidths (Hz), as the analysis lists them; out: narrow, the
// candidates no broader than kBroadestFormantHz, in the same order, then zeros.
inline void NarrowCandidates(const float candidates[], const float bandwidths[], float narrow[]) {
  int count = 0;
  for (int i = 0; i < kFormantRoots; ++i) {
    if (bandwidths[i] <= kBroadestFormantHz) narrow[count++] = candidates[i];
  }
  for (; count < kFormantRoots; ++count) narrow[count] = 0.0f;
}

class DirectionStrategy {
 public:
  virtual ~DirectionStrategy() = default;

  // in: candidates[0..kFormantRoots-1], the pass's accepted formant frequencies in Hz as the
  // analysis lists them, narrow enough to be formants (NarrowCandidates; zeros after the last),
  // as measured, not scaled for the speaker.
  // Called on the engine's thread on every loud, voiced listening pass, the passes whose
  // candidates the engine's running medians take in; it may keep its own history of them. Must
  // not block or allocate.
  virtual VowelDecision Hear(const float candidates[]) = 0;

  // For agile steering: the way the sound last heard points, as a unit vector (x to the right,
  // y downwards), which for a sound between two vowels of neighbouring directions lies between
  // them. False when the strategy knows only its four directions, or the sound points nowhere.
  virtual bool Bearing(float* /*x*/, float* /*y*/) const { return false; }
};

}  // namespace sonlet
