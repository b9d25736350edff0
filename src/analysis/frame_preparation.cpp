// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/frame_preparation.h"

#include "analysis/rounded_math.h"
#include "analysis/signal_constants.h"

namespace sonlet {

void frame_intensity(float frame[], float* level) {
  float sum = 0.0f;
  for (int i = 0; i < kFrameSamples; ++i) sum += frame[i];
  const float mean = sum / static_cast<float>(kFrameSamples);
  // The carried-over half keeps this mean removal into the next frame; that is intended, the
  // level only ever sees the fluctuation around the local mean.
  for (int i = 0; i < kFrameSamples; ++i) frame[i] = frame[i] - mean;

  float energy = 0.0f;
  for (int i = 0; i < kFrameSamples; ++i) energy += frame[i] * frame[i];
  const float power = energy / static_cast<float>(kFrameSamples);

  // A power below 1 is quieter than one step of a 16-bit sample: digital silence, a muted
  // microphone or an idle sound-server source, never a voice. It counts as power 1 (0 dB). Taken
  // as it is, the mean removal carried into each next frame would shrink it fourfold a block,
  // and the level would sink to hundreds of dB below zero within a second of exact zeros, so
  // that the next short sound could not climb back over the threshold in time to click; and at
  // exactly 0 there would be no logarithm at all.
  const float log_power = power < 1.0f ? 0.0f : log10_rounded(power);
  *level = 0.9f * *level + log_power;
}

void dc_block(const int16_t x[], DcBlockState* state, float y[]) {
  float previous_input = state->previous_input;
  float previous_output = state->previous_output;
  for (int n = 0; n < kBlockSamples; ++n) {
    const float input = static_cast<float>(x[n]);
    const float difference = input - previous_input;  // exact: both are 16-bit integers
    previous_output = difference + 0.995f * previous_output;
    y[n] = previous_output;
    previous_input = input;
  }
  state->previous_input = previous_input;
  state->previous_output = previous_output;
}

void pre_emphasis(float x[], float a, int n) {
  // Downwards, so that each step still sees the unfiltered previous sample.
  for (int i = n - 1; i >= 1; --i) x[i] = x[i] - a * x[i - 1];
  if (n > 0) x[0] = (1.0f - a) * x[0];
}

void hamming_window(int n, float w[]) {
  const float two_pi = 6.2831855f;
  const float step = two_pi / static_cast<float>(n - 1);
  for (int k = 0; k < n; ++k) {
    const float angle = static_cast<float>(k) * step;
    w[k] = 0.54f - 0.46f * cos_rounded(angle);
  }
}

void apply_window(float x[], const float w[], int n) {
  for (int i = 0; i < n; ++i) x[i] = x[i] * w[i];
}

}  // namespace sonlet
