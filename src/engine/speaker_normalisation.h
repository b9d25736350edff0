// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace sonlet {

// Scales the measured formants to a reference speaker. Formant frequencies fall as the vocal
// tract gets longer; the tract length is estimated from body height and sex, and the formants
// are multiplied by length / 17.5 cm so that one table of vowel regions serves every speaker.

struct SpeakerNormalisation {
  int height_cm = 0;          // the height setting + 90
  float tract_length = 0.0f;  // cm
  int speed_step = 0;         // (100 - the speed setting) / 13: 0..7 pointer units
  float f1 = 0.0f;            // normalised F1, a whole number of Hz; 0 unless loud and voiced
  float f2 = 0.0f;            // normalised F2, likewise
};

// in: the settings as read this pass; in: the F1 and F2 medians in Hz; in: whether the pass is
// loud and voiced.
// in: the height and speed settings (0..kPositionMax), as read this pass.
SpeakerNormalisation NormaliseSpeaker(int height_setting, int speed_setting, bool male,
                                      float f1_median, float f2_median, bool loud_and_voiced);

// Tract length in cm for a body height in cm.
float TractLength(int height_cm, bool male);

// A louder voice moves the pointer faster: two units more for every 2 dB above the threshold,
// starting at -2 just above it. in: the intensity level and the threshold level in dB.
int LoudnessBonus(float level, int threshold_level);

}  // namespace sonlet
