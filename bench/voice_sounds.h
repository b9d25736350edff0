// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cmath>
#include <cstddef>
#include <vector>

namespace sonlet {

// Sounds between two vowels are said in eighths of the way from one to the other.
inline constexpr int kBlendSteps = 8;

// a e i o u, in the order of kVowels.
inline constexpr int kVowelSounds = 5;

// What one simulated voice can say in bench/pointing, at 8000 Hz, each sound brought to an RMS
// of 1 over its held part so that the user sets its loudness alone. A sound source is either
// the synthesiser's (synthetic_sounds.h) or recorded (recorded_sounds.h).
class VoiceSounds {
 public:
  virtual ~VoiceSounds() = default;

  // A held sound, longer than the longest stroke the user makes (8 s): the vowel (an index into
  // kVowels), or with other >= 0, eighths/kBlendSteps of the way from it to the other vowel.
  virtual const std::vector<float>& Sound(int vowel, int other, int eighths) = 0;

  // The short voiced sound the user clicks with.
  virtual const std::vector<float>& Click() = 0;

  // A take of a vowel for the calibration, as the user would say it for --make-calibration.
  virtual std::vector<float> Take(int vowel) = 0;

  // Whether the voice can say a sound between two vowels; when it cannot, Sound gives the
  // nearer of the two vowels.
  virtual bool SaysBetween() const = 0;
};

// The sound scaled to an RMS of 1 over samples [from, to).
template <typename Sample>
std::vector<float> Normalised(const std::vector<Sample>& sound, size_t from, size_t to) {
  double energy = 0.0;
  size_t count = 0;
  for (size_t i = from; i < to && i < sound.size(); ++i, ++count) {
    energy += static_cast<double>(sound[i]) * static_cast<double>(sound[i]);
  }
  const double rms = energy > 0.0 ? std::sqrt(energy / static_cast<double>(count)) : 1.0;
  std::vector<float> out(sound.size());
  for (size_t i = 0; i < sound.size(); ++i) {
    out[i] = static_cast<float>(static_cast<double>(sound[i]) / rms);
  }
  return out;
}

}  // namespace sonlet
