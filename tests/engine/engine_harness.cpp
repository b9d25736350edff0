#include "engine/engine_harness.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/signal_constants.h"

std::vector<int16_t> steady_vowel(double f1, double f2, int blocks, double peak) {
  const int samples = blocks * kBlockSamples;
  std::vector<double> signal(samples, 0.0);
  for (int n = 0; n < samples; n += 80) signal[n] = 1.0;
  const double formants[3] = {f1, f2, 2500.0};
  const double bandwidths[3] = {70.0, 90.0, 150.0};
  for (int f = 0; f < 3; ++f) {
    const double radius = 1.0 - std::numbers::pi * bandwidths[f] / kSampleRate;
    const double c1 = 2.0 * radius * std::cos(2.0 * std::numbers::pi * formants[f] / kSampleRate);
    const double c2 = -radius * radius;
    double y1 = 0.0, y2 = 0.0;
    for (double& v : signal) {
      const double y = v + c1 * y1 + c2 * y2;
      y2 = y1;
      y1 = y;
      v = y;
    }
  }
  double top = 0.0;
  for (double v : signal) top = std::max(top, std::fabs(v));
  std::vector<int16_t> out(samples);
  for (int n = 0; n < samples; ++n)
    out[n] = static_cast<int16_t>(std::lround(signal[n] * peak / top));
  return out;
}

std::vector<int16_t> silence(int blocks) { return std::vector<int16_t>(blocks * kBlockSamples); }

std::vector<int16_t> quiet(int blocks) {
  std::vector<int16_t> noise(blocks * kBlockSamples);
  uint32_t state = 12345;
  for (int16_t& v : noise) {
    state = state * 1664525u + 1013904223u;
    v = static_cast<int16_t>(static_cast<int>(state >> 27) - 16);
  }
  return noise;
}

std::vector<int16_t> join(std::initializer_list<std::vector<int16_t>> parts) {
  std::vector<int16_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

EngineUnderTest::EngineUnderTest(std::vector<int16_t> samples)
    : audio(std::move(samples)),
      engine(std::make_unique<VoiceEngine>(settings, audio, out, out, &out)) {}

void EngineUnderTest::run(int passes) {
  if (!started) {
    started = true;
    if (!engine->start()) return;
  }
  for (int i = 0; i < passes && engine->pass(); ++i) {
  }
}
