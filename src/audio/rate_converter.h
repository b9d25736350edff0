// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace sonlet {

// Converts mono sound at any rate to the engine's 8000 Hz through one windowed-sinc low-pass
// filter, flat within 0.001 dB up to 3.6 kHz and at least 80 dB down from 4 kHz, so that the
// formants up to the band's edge keep their level and nothing above it folds back into the
// band. It is evaluated output sample by output sample as soon as the input it needs has come:
// no blocks are gathered, so the only delay is half the filter, 6.3 ms at any input rate.
// (Converters that filter in blocks through an FFT hold back several tens of milliseconds,
// which a click would wait for.)
//
// The output lines up with the input: output sample n stands for the moment n / 8000 s after
// the first input sample, as if the sound had been silent before it. The filter for each place
// an output can fall between two input samples comes from a table: a row for each when there
// are few (one when the input rate is a whole multiple of 8000, 80 for 44100 Hz), otherwise
// 256 rows interpolated linearly.
class RateConverter {
 public:
  // The most input samples one Process() takes.
  static constexpr int kMaxInput = 1024;

  // Sets up for input at `rate` Hz (at least 1); allocates all the converter needs. Returns
  // false when the memory cannot be had.
  bool Prepare(int rate);

  int rate() const { return rate_; }

  // The most output samples Process() or Finish() can give for `input` samples.
  int MaxOutput(int input) const;

  // Takes in[0..count-1] (count in 0..kMaxInput) and writes the output samples they complete
  // to out[], which must have room for MaxOutput(count); returns how many.
  int Process(const float in[], int count, float out[]);

  // At the end of the sound: the output samples that stand for its last moments, which the
  // filter could only finish with the silence that follows. out needs room for
  // MaxOutput(kMaxInput). Returns how many; afterwards the converter is as after Prepare().
  int Finish(float out[]);

 private:
  // One output sample from history_ around the input position base + fraction / den_.
  float Output(size_t base, int64_t fraction) const;
  // Empties the history, as before the first input.
  void Reset();

  int rate_ = 0;
  int half_width_ = 0;         // H: the filter reaches H input samples each way
  int phases_ = 0;             // rows of the table between two input samples
  bool exact_phases_ = false;  // a row for every place an output falls: no interpolation
  // (phases_ + 1) rows of 2H taps: row p is the filter for an output p / phases_ of an input
  // sample after the first of its taps' centre.
  std::vector<float> table_;
  // Output n falls num_ / den_ input samples after output n - 1 (the rate over 8000, reduced).
  int64_t num_ = 1;
  int64_t den_ = 1;
  // The input kept for the filter: the H samples before the oldest position still to come out,
  // and all after it.
  std::vector<float> history_;
  size_t kept_ = 0;       // samples in history_
  size_t position_ = 0;   // index in history_ of the next output's centre, whole part
  int64_t fraction_ = 0;  // and the remainder, in units of 1 / den_
};

}  // namespace sonlet
