// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// Whether a sound is loud, judged on the newest frame's own level, for agile steering. The
// engine's level meter smooths over about ten passes, so a vowel 14 dB over the threshold only
// counts as loud some ten passes after it began and still counts four passes after it stopped;
// a run measured on it begins late, and a click is told from a held vowel only that much later.
// The frame's own level follows the voice within a pass either way, so a run is as long as the
// sound itself. A loud sound stays loud until it falls a few dB below the threshold, so that a
// vowel held near the threshold does not break into short runs, each of which would click.
class QuickOnset {
 public:
  // in: frame[0..n-1], the newest samples with their DC removed; in: the threshold level (dB).
  // Whether the sound is loud now.
  bool Loud(const float frame[], int n, int threshold_level);

  // The frame's level in dB, as the level meter reads a steady sound.
  float level() const { return level_; }

  static constexpr float kHysteresisDb = 3.0f;

 private:
  float level_ = 0.0f;
  bool loud_ = false;
};

}  // namespace sonlet
