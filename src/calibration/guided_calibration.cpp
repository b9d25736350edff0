// SPDX-License-Identifier: GPL-3.0-or-later
#include "calibration/guided_calibration.h"

#include <algorithm>

namespace sonlet {

GuidedCalibration::GuidedCalibration() : pending_{0, 1, 2, 3, 4} {}

GuidedCalibration::Event GuidedCalibration::Feed(const PassRecord& record) {
  if (pending_.empty()) return Event::kNone;
  const bool was_in_run = collector_.in_run();
  collector_.PassDone(record);
  if (!was_in_run || collector_.in_run()) return Event::kNone;

  // A take has just ended. One that never got past the settling passes was a click or a
  // cough, not an attempt at the vowel, and is passed over in silence.
  const int passes = collector_.newest_run_passes();
  if (passes == 0) {
    collector_.Clear();
    return Event::kNone;
  }
  taken_passes_ = passes;
  taken_vowel_ = pending_.front();
  if (passes < kFewestTakePasses) {
    collector_.Clear();
    return Event::kTooShort;
  }
  takes_[taken_vowel_] = collector_.passes();
  collector_.Clear();
  pending_.erase(pending_.begin());
  if (!pending_.empty()) return Event::kTaken;
  return Finish();
}

GuidedCalibration::Event GuidedCalibration::Finish() {
  result_ = BuildCalibration(takes_, true);
  if (result_.status != CalibrationResult::Status::kOverlap) return Event::kDone;
  // Both are asked for again, in the order of the letters: either may be the one that slipped.
  pending_ = {std::min(result_.vowel, result_.other), std::max(result_.vowel, result_.other)};
  return Event::kOverlap;
}

}  // namespace sonlet
