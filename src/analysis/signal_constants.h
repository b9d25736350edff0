// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// Sizes shared along the signal path: 8000 samples a second, taken in blocks of 150 and analysed
// in frames of the last two blocks.
inline constexpr int kSampleRate = 8000;
inline constexpr int kBlockSamples = 150;  // 18.75 ms, one engine pass
inline constexpr int kFrameSamples = 300;  // 37.5 ms, the last two blocks, oldest first
inline constexpr int kPitchLags = 250;     // autocorrelation lags 0..249 for the pitch search
inline constexpr int kFftLength = 512;     // the frame padded with 212 zeros
inline constexpr int kLpcOrder = 8;        // predictor a[0..8], reflection coefficients k[0..7]

}  // namespace sonlet
