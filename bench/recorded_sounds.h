// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "voice_sounds.h"

namespace sonlet {

// The sounds of one recorded voice (bench/pointing makes them with espeak-ng), read from a
// folder:
//   take1/a.wav .. take1/u.wav  one take of each held vowel, for the calibration;
//   take2/a.wav .. take2/u.wav  a second take (another pitch), said during the task;
//   click.wav                   the short voiced sound the user clicks with.
// Any sound file libsndfile reads will do; it is heard at 8000 Hz mono, as the engine hears a
// recording. A recorded vowel is shorter than a stroke, so its steady middle (the loudest part
// whose level stays within 1.5 dB) is looped, each repeat joined where the waveform matches the
// loop's start and cross-faded over 10 ms, so the engine hears no new onset at a join. The
// voice says no sound between two vowels.
class RecordedSounds : public VoiceSounds {
 public:
  // Reads every file of the folder. False, with a message for the user in *error, when one is
  // missing, unreadable, holds no steady part to hold (a vowel) or is too short to click.
  bool Load(const std::string& folder, std::string* error);

  const std::vector<float>& Sound(int vowel, int other, int eighths) override;
  const std::vector<float>& Click() override { return click_; }
  std::vector<float> Take(int vowel) override { return takes_[vowel]; }
  bool SaysBetween() const override { return false; }

 private:
  std::vector<float> held_[kVowelSounds];
  std::vector<float> takes_[kVowelSounds];
  std::vector<float> click_;
};

}  // namespace sonlet
