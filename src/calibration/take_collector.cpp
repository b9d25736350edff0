// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/take_collector.h"

#include "engine/direction_strategy.h"

namespace sonlet {

void TakeCollector::PassDone(const PassRecord& record) {
  // The same passes a vowel map hears when it steers.
  SteadyFormants steady;
  if (record.listening && record.loud && record.voiced) {
    float narrow[kFormantRoots];
    NarrowCandidates(record.candidates, record.bandwidths, narrow);
    steady = formants_.Hear(narrow);
  }
  // Active as the run tracker counts it: loud, with a pitch.
  const bool active = record.listening && record.loud && record.pitch_median != 0.0f;
  if (!active) {
    in_run_ = false;
    return;
  }
  if (!in_run_) newest_run_passes_ = 0;
  in_run_ = true;
  if (record.run <= kSettlingPasses) return;
  passes_.push_back(steady);
  ++newest_run_passes_;
}

void TakeCollector::Clear() {
  passes_.clear();
  newest_run_passes_ = 0;
  in_run_ = false;
}

}  // namespace sonlet
