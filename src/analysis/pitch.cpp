// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/pitch.h"

#include "analysis/signal_constants.h"

namespace sonlet {

namespace {
constexpr int kShortestLag = 15;  // 533.3 Hz
}  // namespace

int pitch_lag(const float r[]) {
  float best = -1.0f;
  int lag = -1;
  for (int k = kShortestLag; k < kPitchLags; ++k) {
    if (r[k] > best) {  // strictly: the shortest of equal peaks wins, a NaN never does
      best = r[k];
      lag = k;
    }
  }
  return lag;
}

PitchResult pitch_step(const float frame[], const SignalKernels& kernels) {
  float r[kPitchLags];
  kernels.autocorrelation(frame, r, kPitchLags, kFrameSamples);
  return pitch_from_autocorrelation(r);
}

PitchResult pitch_from_autocorrelation(const float r[]) {
  PitchResult result;
  result.lag = pitch_lag(r);
  const float period = static_cast<float>(result.lag) / static_cast<float>(kSampleRate);
  result.f0 = 1.0f / period;
  // With no qualifying lag there is no peak to measure; a ratio of 0 marks the frame unvoiced
  // and keeps the search from reading before the array.
  result.ratio = result.lag >= 0 ? r[result.lag] / r[0] : 0.0f;
  return result;
}

}  // namespace sonlet
