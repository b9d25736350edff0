// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "analysis/formants.h"
#include "engine/direction_decision.h"
#include "engine/run_guard.h"

namespace sonlet {

// The input event an engine pass produced, if any.
struct PassEvent {
  enum class Kind { kNone, kMove, kClick, kEnter };
  Kind kind = Kind::kNone;
  Direction direction = Direction::kNone;  // of a motion: the vowel's region
  int dx = 0;
  int dy = 0;
  int repeats = 1;  // of a motion: sent this many times in the pass
};

// Everything one pass computed, for the trace that shows a user or a therapist why a vowel did
// or did not steer. The analysis fields are meaningful only when listening is true.
struct PassRecord {
  int64_t pass = 0;  // 0 is the first pass of the loop (the second block of sound)
  float level = 0.0f;
  bool loud = false;
  // Every pass, listening or not: how much of the newest block's energy lies high in the band
  // (HighBandShare), which tells a hiss from a voice for the pause gesture.
  float high_share = 0.0f;
  bool listening = false;
  int lag = 0;
  float f0 = 0.0f;
  float ratio = 0.0f;
  float f1_candidate = 0.0f;
  float f2_candidate = 0.0f;
  float pitch_median = 0.0f;
  float f1_median = 0.0f;
  float f2_median = 0.0f;
  float f1_normalised = 0.0f;
  float f2_normalised = 0.0f;
  int run = 0;  // run length after this pass's tracking
  bool voiced = false;
  float candidates[kFormantRoots] = {};  // every accepted formant frequency, as listed
  float bandwidths[kFormantRoots] = {};  // Hz, of each candidate
  // With a vowel map, on loud, voiced passes: the formants it judged by, and the vowel they are
  // nearest (0 for none).
  char vowel = 0;
  float vowel_f1 = 0.0f;
  float vowel_f2 = 0.0f;
  // With a run guard: what it decided on this pass, and why.
  GuardReason guard = GuardReason::kNone;
  PassEvent event;
};

class PassObserver {
 public:
  virtual ~PassObserver() = default;
  virtual void PassDone(const PassRecord& record) = 0;
};

}  // namespace sonlet
