// SPDX-License-Identifier: GPL-3.0-or-later
#include "synthetic_sounds.h"

#include <cstddef>

namespace sonlet {
namespace {

constexpr int kRate = 8000;
constexpr double kClickSeconds = 12 * (150.0 / 8000.0);  // twelve passes
constexpr int kI = 2;

// Scaled on the sound without its first and last edge_seconds, the held part.
std::vector<float> HeldNormalised(const std::vector<double>& sound, double edge_seconds) {
  const size_t edge = static_cast<size_t>(edge_seconds * kRate);
  return Normalised(sound, edge, sound.size() > edge ? sound.size() - edge : 0);
}

}  // namespace

const std::vector<float>& SyntheticSounds::Sound(int vowel, int other, int eighths) {
  if (eighths <= 0 || other < 0) other = -1, eighths = 0;
  if (eighths >= kBlendSteps) vowel = other, other = -1, eighths = 0;
  const int key = vowel * 1000 + (other + 1) * 10 + eighths;
  auto found = cache_.find(key);
  if (found != cache_.end()) return found->second;
  VoiceOptions options = Base();
  options.vowel = vowel;
  options.blend_vowel = other;
  options.blend = eighths / static_cast<double>(kBlendSteps);
  options.seconds = 8.0;
  options.take = static_cast<uint32_t>(1000 + key);
  return cache_[key] = HeldNormalised(Synthesise(options), 0.1);
}

const std::vector<float>& SyntheticSounds::Click() {
  if (click_.empty()) {
    VoiceOptions options = Base();
    options.vowel = kI;
    options.seconds = kClickSeconds;
    options.attack_seconds = 0.02;
    options.decay_seconds = 0.03;
    options.take = 77;
    click_ = HeldNormalised(Synthesise(options), 0.05);
  }
  return click_;
}

std::vector<float> SyntheticSounds::Take(int vowel) {
  VoiceOptions options = Base();
  options.vowel = vowel;
  options.seconds = 1.5;
  options.take = 1;
  return HeldNormalised(Synthesise(options), 0.1);
}

VoiceOptions SyntheticSounds::Base() const {
  VoiceOptions options;
  options.group = speaker_.group;
  options.speaker = speaker_.speaker;
  options.scale = speaker_.scale;
  options.f0_hz = speaker_.f0;
  options.rate = kRate;
  return options;
}

}  // namespace sonlet
