// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/frame_analysis.h"

#include "analysis/frame_preparation.h"

namespace sonlet {

namespace {
constexpr float kPreEmphasis = 0.98f;
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
}

}  // namespace sonlet
