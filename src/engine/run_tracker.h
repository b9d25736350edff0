// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace sonlet {

// Tells a click from steering by duration alone. A run is an unbroken sequence of active
// passes (loud, with a pitch). While a run lasts longer than the upper click limit it steers,
// one motion per pass; a run that ends after more passes than the lower limit and fewer than
// the upper one is a click, given on the first pass after it.
class RunTracker {
 public:
  enum class Action { kNone, kSteer, kClick };

  // One listening pass. in: whether it is active; in: the click limits as read now.
  Action Track(bool active, int32_t click_min, int32_t click_max);

  int run_length() const { return run_length_; }
  bool idle() const { return idle_; }

 private:
  bool idle_ = true;
  int run_length_ = 0;  // of the current run, or of the last one once it has ended
};

}  // namespace sonlet
