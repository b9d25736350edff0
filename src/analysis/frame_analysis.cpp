// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/frame_analysis.h"

#include <cmath>

#include "analysis/frame_preparation.h"

namespace sonlet {

namespace {
constexpr float kPreEmphasis = 0.98f;
constexpr float kHzPerNeper = 2546.479f;  // 8000 Hz / pi
}  // namespace

FrameAnalyser::FrameAnalyser(const SignalKernels& kernels) : kernels_(kernels) {
  fft_tables(kFftLength, &tables_);
  hamming_window(kFrameSamples, window_);
}

void FrameAnalyser::Analyse(const float frame[], FrameAnalysis* result) {
  result->pitch = pitch_step(frame, kernels_);

  float work[kFrameSamples];
  for (int i = 0; i < kFrameSamples; ++i) work[i] = frame[i];
  pre_emphasis(work, kPreEmphasis, kFrameSamples);
  apply_window(work, window_, kFrameSamples);

  if (!ready()) return;
  result->roots = formant_step(work, static_cast<float>(result->pitch.lag), tables_, wr_, wi_,
                               result->candidates, kernels_);
  // A root's distance from the unit circle is its pole's bandwidth: the same roots, in the
  // order formant_candidates lists them.
  float freq[kFormantRoots + 1];
  float angle[kFormantRoots + 1];
  float radius[kFormantRoots + 1];
  float acc[kFormantRoots + 1] = {};
  roots_to_formants(wi_, wr_, freq, angle, radius, acc);
  int count = 0;
  for (int i = kFormantRoots; i >= 1; --i) {
    if (acc[i] > 0.0f) result->bandwidths[count++] = std::log(radius[i]) * kHzPerNeper;
  }
  for (; count < kFormantRoots; ++count) result->bandwidths[count] = 0.0f;
}

}  // namespace sonlet
