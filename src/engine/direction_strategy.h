// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

class DirectionStrategy {
 public:
  virtual ~DirectionStrategy() = default;

  // in: candidates[0..kFormantRoots-1], the pass's accepted formant frequencies in Hz as the
  // analysis lists them (zeros after the last), as measured, not scaled for the speaker.
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
