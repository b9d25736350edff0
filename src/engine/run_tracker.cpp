// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/run_tracker.h"

namespace sonlet {

RunTracker::Action RunTracker::Track(bool active, int32_t click_min, int32_t click_max) {
  if (active) {
    if (idle_) {
      idle_ = false;
      run_length_ = 1;
    } else if (run_length_ < INT32_MAX) {  // a vowel held for a year still steers
      ++run_length_;
    }
    return run_length_ > click_max ? Action::kSteer : Action::kNone;
  }
  if (idle_) return Action::kNone;
  idle_ = true;
  // The limits are read as the run ends, so a change on the panel applies to a run in progress.
  return (click_min < run_length_ && run_length_ < click_max) ? Action::kClick : Action::kNone;
}

}  // namespace sonlet
