// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/formants.h"

namespace sonlet {

// The formants a vowel map judges a pass by, in Hz; 0 where the pass has none.
struct SteadyFormants {
  float f1 = 0.0f;
  float f2 = 0.0f;
  float f3 = 0.0f;
};

// The three lowest formant candidates of each pass in frequency order, each steadied by a
// running median of five as the engine steadies its own F1 and F2. The engine lists candidates
// by the real part of their roots, which is frequency order only for sharp resonances: in a
// high voice a broad F1 often comes second (on a tenth to a quarter of the passes of women's
// and children's vowels), and medians taken slot by slot then mix F1 with F2. And a child's
// order-8 predictor often spends a pole between F1 and F2, so that the second candidate of an
// "e" lies where an "o" has its F2 and the "e"'s own F2 comes third: the third formant keeps
// such vowels apart.
class OrderedFormants {
 public:
  // One loud, voiced pass. in: candidates[0..kFormantRoots-1], the accepted frequencies as the
  // analysis lists them, zeros after the last. Returns the medians after it.
  SteadyFormants Hear(const float candidates[]);

 private:
  float history_[3][5] = {};
};

}  // namespace sonlet
