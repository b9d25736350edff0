// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <map>
#include <vector>

#include "formant_synth.h"
#include "voice_sounds.h"

namespace sonlet {

// Who the synthesiser speaks as.
struct SyntheticSpeaker {
  Group group;
  uint32_t speaker;
  double scale;
  double f0;
};

// The synthesiser's sounds of one speaker, made when first asked for: 8 s of each vowel and of
// the sounds between neighbouring vowels, and a 0.225 s "i" (as in "click") to click with.
class SyntheticSounds : public VoiceSounds {
 public:
  explicit SyntheticSounds(const SyntheticSpeaker& speaker) : speaker_(speaker) {}

  const std::vector<float>& Sound(int vowel, int other, int eighths) override;
  const std::vector<float>& Click() override;
  std::vector<float> Take(int vowel) override;
  bool SaysBetween() const override { return true; }

 private:
  VoiceOptions Base() const;

  SyntheticSpeaker speaker_;
  std::map<int, std::vector<float>> cache_;
  std::vector<float> click_;
};

}  // namespace sonlet
