#pragma once

#include "engine/direction_decision.h"

namespace sonlet {

// A way of deciding the direction other than the fixed vowel regions: a map of one user's own
// vowels, learnt from takes of that voice. Without one the engine keeps to the regions.

// The vowel a strategy heard, as the trace writes it: 'a', 'e', 'i', 'o', 'u', or 0 for none.
struct VowelDecision {
  Direction direction = Direction::kNone;
  char vowel = 0;
};

class DirectionStrategy {
 public:
  virtual ~DirectionStrategy() = default;

  // in: the running medians of F1 and F2 in Hz, as measured (not scaled for the speaker).
  // Called on the engine's thread on every loud, voiced listening pass; must not block or
  // allocate.
  virtual VowelDecision Decide(float f1_median, float f2_median) const = 0;
};

}  // namespace sonlet
