// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/engine_harness.h"

#include "analysis/signal_constants.h"
#include "support/synthetic_vowel.h"

namespace sonlet {

std::vector<int16_t> SteadyVowel(double f1, double f2, int blocks, double peak) {
  return SyntheticVowel(blocks * kBlockSamples, f1, f2, peak);
}

std::vector<int16_t> Silence(int blocks) { return std::vector<int16_t>(blocks * kBlockSamples); }

std::vector<int16_t> Quiet(int blocks) {
  std::vector<int16_t> noise(blocks * kBlockSamples);
  uint32_t state = 12345;
  for (int16_t& v : noise) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<int16_t>(static_cast<int>(state >> 27) - 16);
  }
  return noise;
}

std::vector<int16_t> Join(std::initializer_list<std::vector<int16_t>> parts) {
  std::vector<int16_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

EngineUnderTest::EngineUnderTest(std::vector<int16_t> samples)
    : audio(std::move(samples)),
      engine(std::make_unique<VoiceEngine>(settings, audio, out, out, out, &out)) {}

void EngineUnderTest::Run(int passes) {
  if (!started) {
    started = true;
    if (!engine->Start()) return;
  }
  for (int i = 0; i < passes && engine->Pass(); ++i) {
  }
}

}  // namespace sonlet
