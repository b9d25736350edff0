// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/synthetic_vowel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "analysis/frame_preparation.h"
#include "analysis/signal_constants.h"

namespace sonlet {

std::vector<int16_t> SyntheticVowel(int samples, double f1, double f2, double peak) {
  const double formants[3] = {f1, f2, 2500.0};
  const double bandwidths[3] = {70.0, 90.0, 150.0};
  std::vector<double> signal(samples, 0.0);
  for (int n = 0; n < samples; n += 80) signal[n] = 1.0;
  for (int f = 0; f < 3; ++f) {
    Resonate(signal, formants[f], 1.0 - std::numbers::pi * bandwidths[f] / kSampleRate,
             kSampleRate);
  }
  double top = 0.0;
  for (double v : signal) top = std::max(top, std::fabs(v));
  std::vector<int16_t> out(samples);
  for (int n = 0; n < samples; ++n)
    out[n] = static_cast<int16_t>(std::lround(signal[n] * peak / top));
  return out;
}

void Resonate(std::vector<double>& signal, double hz, double radius, double rate) {
  const double c1 = 2.0 * radius * std::cos(2.0 * std::numbers::pi * hz / rate);
  const double c2 = -radius * radius;
  double y1 = 0.0, y2 = 0.0;
  for (double& v : signal) {
    const double y = v + c1 * y1 + c2 * y2;
    y2 = y1;
    y1 = y;
    v = y;
  }
}

std::vector<std::vector<float>> AnalysisFrames(const std::vector<int16_t>& samples) {
  std::vector<std::vector<float>> frames;
  DcBlockState state;
  std::vector<float> frame(kFrameSamples, 0.0f);
  const size_t blocks = samples.size() / kBlockSamples;
  for (size_t b = 0; b < blocks; ++b) {
    std::copy(frame.begin() + kBlockSamples, frame.end(), frame.begin());
    dc_block(samples.data() + b * kBlockSamples, &state, frame.data() + kBlockSamples);
    if (b >= 1) frames.push_back(frame);
  }
  return frames;
}

}  // namespace sonlet
