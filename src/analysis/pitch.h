// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "analysis/signal_kernels.h"

namespace sonlet {

// Pitch of one analysis frame from the peak of its autocorrelation.

// The lag of the largest r[k] for k = 15..249 (533 Hz down to 32 Hz), the smallest lag among
// equal maxima; -1 when no lag has a value above -1. in: r[15..249].
int pitch_lag(const float r[]);

struct PitchResult {
  int lag = -1;        // T, or -1 when no lag qualified
  float f0 = 0.0f;     // 1 / (T / 8000) in Hz
  float ratio = 0.0f;  // voicing ratio r[T] / r[0]; not a number for a frame of zeros
};

// Pitch step of one DC-blocked analysis frame. in: frame[0..299].
PitchResult pitch_step(const float frame[], const SignalKernels& kernels = kFastKernels);

// The pitch step's result from the frame's autocorrelation. in: r[0..249].
PitchResult pitch_from_autocorrelation(const float r[]);

}  // namespace sonlet
