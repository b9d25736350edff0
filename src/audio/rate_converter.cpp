// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/rate_converter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <numbers>
#include <numeric>

#include "analysis/signal_constants.h"

namespace sonlet {

namespace {

// The filter: its cutoff halfway between the band it keeps and the band it removes, and a
// Kaiser window for 80 dB, whose passband ripple is 10^(-80/20), 0.001 dB.
constexpr double kPassbandEnd = 3600.0;    // Hz
constexpr double kStopbandStart = 4000.0;  // Hz: the output's Nyquist frequency
constexpr double kAttenuation = 80.0;      // dB
constexpr int kMaxPhases = 256;
constexpr size_t kMaxTable = 1 << 20;  // floats: a 2 MHz input gets fewer phases, not more memory

// Taps are summed sixteen at a time; a filter is padded with zeros to a multiple of that.
constexpr int kLanes = 16;

// The zeroth-order modified Bessel function, by its series.
double BesselI0(double x) {
  double sum = 1.0;
  double term = 1.0;
  for (int k = 1; k < 100; ++k) {
    term *= (x / (2 * k)) * (x / (2 * k));
    sum += term;
    if (term < sum * 1e-17) break;
  }
  return sum;
}

double Sinc(double u) {
  if (u == 0.0) return 1.0;
  return std::sin(std::numbers::pi * u) / (std::numbers::pi * u);
}

typedef float Lanes __attribute__((vector_size(16)));

Lanes Load(const float* p) {
  Lanes v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// a[0..n-1] . b[0..n-1], n a multiple of kLanes: four running sums of four lanes each.
float Dot(const float a[], const float b[], int n) {
  Lanes sum[4] = {};
  for (int i = 0; i < n; i += kLanes) {
    for (int v = 0; v < 4; ++v) sum[v] += Load(a + i + 4 * v) * Load(b + i + 4 * v);
  }
  const Lanes total = (sum[0] + sum[1]) + (sum[2] + sum[3]);
  return (total[0] + total[1]) + (total[2] + total[3]);
}

int PaddedTaps(int half_width) { return (2 * half_width + kLanes - 1) / kLanes * kLanes; }

}  // namespace

bool RateConverter::Prepare(int rate) {
  if (rate < 1) return false;
  rate_ = rate;
  // Below 8000 Hz the input holds nothing above its own Nyquist frequency: the filter keeps
  // the same proportions of the input's band instead.
  const double scale = std::min(1.0, rate / static_cast<double>(kSampleRate));
  const double cutoff = 0.5 * (kPassbandEnd + kStopbandStart) * scale;
  const double transition = (kStopbandStart - kPassbandEnd) * scale;
  const double beta = 0.1102 * (kAttenuation - 8.7);
  const double taps =
      (kAttenuation - 7.95) / (2.285 * 2 * std::numbers::pi * transition / rate) + 1;
  half_width_ = static_cast<int>(std::ceil(taps / 2));
  const int row = PaddedTaps(half_width_);
  const int64_t common = std::gcd(static_cast<int64_t>(rate), int64_t{kSampleRate});
  num_ = rate / common;
  den_ = kSampleRate / common;
  // The outputs fall on den_ different places between two input samples (one when the rate is
  // a whole multiple of 8000, 80 for 44100 Hz). When there are few, each gets a row of its own
  // and no output needs two; otherwise the rows are interpolated.
  exact_phases_ = den_ <= kMaxPhases && static_cast<size_t>(den_) * row <= kMaxTable;
  phases_ = exact_phases_ ? static_cast<int>(den_)
                          : static_cast<int>(std::clamp<size_t>(
                                kMaxTable / static_cast<size_t>(row), 4, kMaxPhases));

  try {
    table_.assign(static_cast<size_t>(phases_ + 1) * row, 0.0f);
    history_.assign(static_cast<size_t>(row) + 2 * half_width_ + kMaxInput + kLanes, 0.0f);
  } catch (const std::bad_alloc&) {
    return false;
  }
  // Row p: the taps for an output p / phases_ of an input sample past the input sample at
  // index H - 1 of the row; tap j meets the input sample j - (H - 1) - p / phases_ from it.
  const double norm_beta = BesselI0(beta);
  for (int p = 0; p <= phases_; ++p) {
    float* taps_p = &table_[static_cast<size_t>(p) * row];
    double sum = 0.0;
    for (int j = 0; j < 2 * half_width_; ++j) {
      const double x = j - (half_width_ - 1) - static_cast<double>(p) / phases_;
      const double edge = x / half_width_;
      if (std::fabs(edge) >= 1.0) continue;
      const double window = BesselI0(beta * std::sqrt(1.0 - edge * edge)) / norm_beta;
      const double h = 2 * cutoff / rate * Sinc(2 * cutoff * x / rate) * window;
      taps_p[j] = static_cast<float>(h);
      sum += h;
    }
    // Each row passes a steady signal at exactly its level.
    for (int j = 0; j < 2 * half_width_; ++j) taps_p[j] = static_cast<float>(taps_p[j] / sum);
  }
  Reset();
  return true;
}

void RateConverter::Reset() {
  // The first output stands for the first input sample: silence before it fills the taps.
  std::fill(history_.begin(), history_.end(), 0.0f);
  kept_ = static_cast<size_t>(half_width_ - 1);
  position_ = kept_;
  fraction_ = 0;
}

int RateConverter::MaxOutput(int input) const {
  const int64_t span = static_cast<int64_t>(input) + 2 * half_width_ + 2;
  return static_cast<int>(span * den_ / num_ + 2);
}

float RateConverter::Output(size_t base, int64_t fraction) const {
  const int row = PaddedTaps(half_width_);
  const float* x = &history_[base - static_cast<size_t>(half_width_ - 1)];
  if (exact_phases_) return Dot(x, &table_[static_cast<size_t>(fraction) * row], row);
  const double phase = static_cast<double>(fraction) * phases_ / static_cast<double>(den_);
  const int p = std::min(static_cast<int>(phase), phases_ - 1);
  const float alpha = static_cast<float>(phase - p);
  const float below = Dot(x, &table_[static_cast<size_t>(p) * row], row);
  const float above = Dot(x, &table_[static_cast<size_t>(p + 1) * row], row);
  return below + alpha * (above - below);
}

int RateConverter::Process(const float in[], int count, float out[]) {
  count = std::clamp(count, 0, kMaxInput);
  std::copy_n(in, count, history_.begin() + static_cast<std::ptrdiff_t>(kept_));
  kept_ += static_cast<size_t>(count);
  int produced = 0;
  while (position_ + static_cast<size_t>(half_width_) < kept_) {
    out[produced++] = Output(position_, fraction_);
    fraction_ += num_;
    position_ += static_cast<size_t>(fraction_ / den_);
    fraction_ %= den_;
  }
  // Keep what the next outputs' taps reach back to.
  const size_t first =
      std::min(kept_, position_ - std::min(position_, static_cast<size_t>(half_width_ - 1)));
  std::copy(history_.begin() + static_cast<std::ptrdiff_t>(first),
            history_.begin() + static_cast<std::ptrdiff_t>(kept_), history_.begin());
  kept_ -= first;
  position_ -= first;
  return produced;
}

int RateConverter::Finish(float out[]) {
  // Silence after the sound lets the filter finish the outputs that stand for its last
  // moments, those less than H input samples before its end.
  // The outputs still owed stand between the next output's position and the end of the input.
  const int64_t owed = ((static_cast<int64_t>(kept_) - static_cast<int64_t>(position_)) * den_ -
                        fraction_ + num_ - 1) /
                       num_;
  int produced = 0;
  if (owed > 0) {
    const float silence[kMaxInput] = {};
    int64_t left = half_width_;
    while (left > 0) {
      const int piece = static_cast<int>(std::min<int64_t>(left, kMaxInput));
      produced += Process(silence, piece, out + produced);
      left -= piece;
    }
    // Outputs past the end of the sound stand for the silence only: drop them.
    produced = static_cast<int>(std::min<int64_t>(produced, owed));
  }
  Reset();
  return produced;
}

}  // namespace sonlet
