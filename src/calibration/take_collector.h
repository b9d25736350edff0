// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "calibration/ordered_formants.h"
#include "engine/pass_record.h"

namespace sonlet {

// Collects, from the engine's passes, the steadied formants (as a vowel map judges them) of the
// passes a held vowel steers with: loud and pitched, once the run is old enough for the running
// medians to hold only this vowel (the first passes still carry the one before). Runs are kept
// apart, so that a guided take can ask for one long enough.
class TakeCollector : public PassObserver {
 public:
  // Passes at the start of each run that are left out: the running medians look five passes
  // back, and the voice needs a moment to settle on the vowel.
  static constexpr int kSettlingPasses = 6;

  void PassDone(const PassRecord& record) override;

  // Every usable pass so far, of every run.
  const std::vector<SteadyFormants>& passes() const { return passes_; }
  // The usable passes of the newest run, going on or ended.
  int newest_run_passes() const { return newest_run_passes_; }
  // Whether the newest run is going on (the pass just seen was active).
  bool in_run() const { return in_run_; }
  void Clear();

 private:
  OrderedFormants formants_;
  std::vector<SteadyFormants> passes_;
  int newest_run_passes_ = 0;
  bool in_run_ = false;
};

}  // namespace sonlet
