// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace sonlet {

// The first signal steps of every frame: the intensity level of the raw input, the DC blocker
// in front of the analysis frame, and the pre-emphasis and window in front of the spectrum.

// Previous input sample and previous output value of the DC blocker, carried from block to
// block (and across a pause in listening). Both 0 when the engine starts.
struct DcBlockState {
  float previous_input = 0.0f;
  float previous_output = 0.0f;
};

// Removes the mean of the 300 newest raw samples and adds log10 of their mean power to the
// leaky intensity level (factor 0.9, so a steady power P settles at 10 log10 P dB). A power
// below 1 adds 0, as if it were 1: the level of silence decays towards 0 dB and no lower. A power
// below 1 adds 0, as if it were 1: the level of silence decays towards 0 dB and no lower.
// in/out: frame[0..299] (mean removed in place); in/out: *level.
void frame_intensity(float frame[], float* level);

// First-order DC blocker y[n] = x[n] - x[n-1] + 0.995 y[n-1] over one block.
// in: x[0..149] new samples; in/out: *state; out: y[0..149].
void dc_block(const int16_t x[], DcBlockState* state, float y[]);

// y[n] = x[n] - a x[n-1] with x[-1] taken equal to x[0], in place.
// in/out: x[0..n-1].
void pre_emphasis(float x[], float a, int n);

// The symmetric Hamming window of n points (n >= 2). out: w[0..n-1].
void hamming_window(int n, float w[]);

// x[i] = x[i] w[i]. in/out: x[0..n-1]; in: w[0..n-1].
void apply_window(float x[], const float w[], int n);

}  // namespace sonlet
