// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/output_channel.h"
#include "engine/pass_record.h"

namespace sonlet {

// Writes one CSV row per engine pass: the level, the analysis, the medians, the normalised
// formants, the run length and the event. Read alongside a recording it shows why a vowel did
// or did not steer.
class PassTrace : public PassObserver {
 public:
  // out must outlive the trace; the header row is written at once. With vowels, each row ends
  // with the calibrated vowel the pass was nearest (a column only a calibrated run has); with
  // the guard, then with what the speech guard decided on the pass.
  explicit PassTrace(OutputChannel& out, bool with_vowels = false, bool with_guard = false);

  void PassDone(const PassRecord& record) override;

 private:
  OutputChannel& out_;
  bool with_vowels_;
  bool with_guard_;
};

}  // namespace sonlet
