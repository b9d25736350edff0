// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/fft.h"
#include "analysis/formants.h"
#include "analysis/pitch.h"
#include "analysis/signal_constants.h"
#include "analysis/signal_kernels.h"

namespace sonlet {

// What one analysed frame yields: its pitch and its formant candidates.
struct FrameAnalysis {
  PitchResult pitch;
  float candidates[kFormantRoots] = {};  // accepted frequencies, lowest first, then zeros
  float bandwidths[kFormantRoots] = {};  // Hz: each candidate's, in the same order
  // kTooManyIterations: the root finder gave up, and some candidates come from earlier roots.
  RootsStatus roots = RootsStatus::kFound;

  float f1_candidate() const { return candidates[0]; }
  float f2_candidate() const { return candidates[1]; }
};

// Runs the pitch step and the formant step on DC-blocked analysis frames. It owns what lives
// as long as the listening engine: the transform tables, the window and the root arrays, which
// carry over from frame to frame.
class FrameAnalyser {
 public:
  explicit FrameAnalyser(const SignalKernels& kernels = kFastKernels);

  // False when the transform tables could not be built (a length that is not a power of two):
  // the spectra, and so the formants, are then not computed.
  bool ready() const { return tables_.n == kFftLength; }

  // in: frame[0..299], the last two DC-blocked blocks, oldest first; out: *result.
  void Analyse(const float frame[], FrameAnalysis* result);

 private:
  const SignalKernels& kernels_;
  FftTables tables_;
  float window_[kFrameSamples];
  float wr_[kFormantRoots + 1] = {};
  float wi_[kFormantRoots + 1] = {};
};

}  // namespace sonlet
