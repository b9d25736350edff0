// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "audio/rate_converter.h"

namespace sonlet {

// Turns sound of any rate and channel count into what the engine hears: 16-bit mono samples at
// 8000 Hz. The channels are mixed down to their mean, the rate is converted (RateConverter:
// band-limited, so that nothing above 4 kHz folds back into the band the engine analyses, and
// without holding sound back in blocks), and each value is rounded to 16 bits. Recordings and
// live capture both go through it, so that the engine hears a file and a microphone alike.
//
// Everything is allocated by Prepare(); Convert() does work in proportion to the frames it is
// given and allocates nothing, so it can run in an audio callback.
class MonoConverter {
 public:
  // The most frames one Convert() takes.
  static constexpr int kMaxFrames = RateConverter::kMaxInput;

  // The rates the converter takes: at most 256 times slower or faster than 8000 Hz.
  static constexpr double kLowestRate = 31.25;
  static constexpr double kHighestRate = 2048000.0;

  // Sets up for sound of `channels` interleaved channels at `rate` Hz. At 8000 Hz the samples
  // pass unfiltered. Returns false when the converter cannot be had: a channel count below 1, a
  // rate outside kLowestRate..kHighestRate, or no memory.
  bool Prepare(int rate, int channels);

  // Mixes down and converts the next frames. in: frames[0..frame_count*channels-1], interleaved,
  // full scale +-1, frame_count in 0..kMaxFrames. Returns the samples at 8000 Hz that they give,
  // valid until the next call; the filter holds the last 6.3 ms back until more sound comes.
  std::span<const int16_t> Convert(const float frames[], int frame_count);

  // At the end of the sound: what the filter still holds. Call until it returns nothing.
  std::span<const int16_t> Finish();

 private:
  int channels_ = 0;
  bool resampling_ = false;
  bool finished_ = false;
  RateConverter rate_converter_;
  std::vector<float> mono_;       // one call's frames, mixed down
  std::vector<float> converted_;  // the same at 8000 Hz
  std::vector<int16_t> samples_;  // the same as 16-bit samples
};

}  // namespace sonlet
