// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <vector>

#include "calibration/calibration_builder.h"
#include "calibration/take_collector.h"
#include "engine/pass_record.h"

namespace sonlet {

// The steps of a calibration by voice, one vowel at a time, the same on the terminal and in the
// panel: ask for a vowel, wait for one held take of it long enough, go on to the next; when the
// five are there, build the map, and ask again for two vowels that came out too close together.
// It is fed the engine's passes on one thread (whichever the caller chooses) and says what
// changed; the caller words it.
class GuidedCalibration {
 public:
  enum class Event {
    kNone,
    kTaken,     // the take of taken_vowel() is kept (taken_passes() passes)
    kTooShort,  // a take of vowel() ended after only taken_passes() passes: ask again
    kOverlap,   // two vowels lie too close: result() says which; they are asked for again
    kDone,      // result() holds the map
  };

  GuidedCalibration();

  Event Feed(const PassRecord& record);

  // The vowel asked for now (an index into kVowelLetters), or -1 when done.
  int vowel() const { return pending_.empty() ? -1 : pending_.front(); }
  int taken_vowel() const { return taken_vowel_; }
  int taken_passes() const { return taken_passes_; }
  // The passes of the take going on now: a user watches it fill.
  int current_passes() const { return collector_.in_run() ? collector_.newest_run_passes() : 0; }
  const CalibrationResult& result() const { return result_; }

 private:
  Event Finish();

  TakeCollector collector_;
  std::vector<int> pending_;
  std::vector<SteadyFormants> takes_[kVowelCount];
  CalibrationResult result_;
  int taken_vowel_ = -1;
  int taken_passes_ = 0;
};

}  // namespace sonlet
