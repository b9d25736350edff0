// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "engine/run_tracker.h"

namespace sonlet {

// Something that stands between the duration rules and the pointer, such as the speech guard:
// every listening pass's click or steering decision passes through it, and it may hold a click
// back, withhold steering or give a click of its own. Without one the rules act alone.

// Why a guard decided as it did, on the passes where it decided something (the trace shows it).
enum class GuardReason {
  kNone,    // nothing decided on this pass
  kWait,    // a run ended as a click; the guard waits for the quiet after it
  kClick,   // a short sound stood alone: clicked
  kSpeech,  // a sound that belongs to connected speech: neither clicked nor steered
  kHeld,    // a steady held vowel: steers
  kTail,    // the voice came back straight after steering: it carries on steering, no click
};

// The word the trace writes for a reason; "" for none.
const char* GuardReasonName(GuardReason reason);

// What a guard is shown of one listening pass.
struct GuardPass {
  const int16_t* block = nullptr;  // the newest kBlockSamples samples
  int threshold_level = 0;         // dB
  bool voiced = false;             // the pitch's voicing ratio passed, whatever the loudness
  float f0 = 0.0f;                 // Hz, this pass's own, 0 when out of range or unvoiced
  float pitch_median = 0.0f;       // Hz, the engine's running medians; 0 when not active
  float f1_median = 0.0f;
  float f2_median = 0.0f;
  RunTracker::Action action = RunTracker::Action::kNone;  // what the duration rules decided
  int run = 0;                                            // the run length after this pass
  bool run_active = false;                                // this pass continues or starts a run
  int click_max = 0;                                      // passes, as read this pass
};

struct GuardVerdict {
  RunTracker::Action action = RunTracker::Action::kNone;
  GuardReason reason = GuardReason::kNone;
  // Steps of a steering pass: more than one where the guard lets steering go that it held back
  // while it judged, so that the pointer travels as far as without it.
  int steps = 1;
};

class RunGuard {
 public:
  virtual ~RunGuard() = default;

  // Called on the engine's thread on every listening pass. Must not block or allocate.
  virtual GuardVerdict Judge(const GuardPass& pass) = 0;
};

}  // namespace sonlet
