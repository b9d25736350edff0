// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/formants.h"

#include <cmath>
#include <cstdint>

#include "analysis/levinson_durbin.h"
#include "analysis/median5.h"
#include "analysis/rounded_math.h"
#include "analysis/signal_constants.h"
#include "numeric/zrhqr.h"

namespace sonlet {

namespace {

// The imaginary input of every transform: the signals analysed here are all real.
constexpr float kZeros[kFftLength] = {};

constexpr float kHzPerRadian = 1273.2395f;  // 8000 Hz / 2 pi
constexpr float kRadiusLimit = 0.8f;
constexpr double kLifterFactor = 0.22;

}  // namespace

// The two ends are not mirror images (the low end keeps 0..start-1, the high end starts at the
// first index not below 512 - cut); that asymmetry is part of the envelope.
void lifter(float ceps[], float lag) {
  const float ln_lag = ln_rounded(lag);
  const double cut = kLifterFactor * static_cast<double>(lag) * static_cast<double>(ln_lag);
  const double upper = kFftLength - cut;
  // A lag without a logarithm (no pitch peak was found) leaves the cepstrum whole, as every
  // comparison with such a cut fails.
  if (!(cut >= 0.0 && cut < kFftLength)) return;
  for (int n = static_cast<int>(cut); n < upper; ++n) ceps[n] = 0.0f;
}

namespace {

// The companion matrix of the predictor polynomial holds -a[i] / a[8]. A leading coefficient of
// 0 has no roots of that degree (the root finder refuses it), and one so small that an entry
// overflows makes an infinite matrix that balancing cannot scale. Such frames keep the previous
// roots, as when the root finder gives up. Coefficients that are not numbers go through: the
// root finder gives up on them and leaves the roots stale.
bool roots_can_be_found(const float a[]) {
  if (a[kLpcOrder] == 0.0f) return false;
  for (int i = 0; i < kLpcOrder; ++i) {
    const float entry = -a[i] / a[kLpcOrder];
    if (std::isinf(entry)) return false;
  }
  return true;
}

}  // namespace

void envelope_autocorrelation(const float frame[], float lag, const FftTables& tables, float R[],
                              const SignalKernels& kernels) {
  float x[kFftLength];
  for (int i = 0; i < kFrameSamples; ++i) x[i] = frame[i];
  for (int i = kFrameSamples; i < kFftLength; ++i) x[i] = 0.0f;

  float re[kFftLength];
  float im[kFftLength];
  kernels.fft(0, x, kZeros, re, im, kFftLength, tables);

  float log_magnitude[kFftLength];
  for (int i = 0; i < kFftLength; ++i) {
    const float power = re[i] * re[i] + im[i] * im[i];
    log_magnitude[i] = std::sqrt(power);
  }
  kernels.log10_block(log_magnitude, log_magnitude, kFftLength);

  float ceps[kFftLength];
  kernels.fft(1, log_magnitude, kZeros, ceps, im, kFftLength, tables);
  lifter(ceps, lag);

  float smoothed[kFftLength];
  kernels.fft(0, ceps, kZeros, smoothed, im, kFftLength, tables);

  float power[kFftLength];
  for (int i = 0; i < kFftLength; ++i) power[i] = 2.0f * smoothed[i];
  kernels.exp10_block(power, power, kFftLength);

  kernels.fft(1, power, kZeros, re, im, kFftLength, tables);
  for (int i = 0; i <= kLpcOrder; ++i) R[i] = re[i];
}

RootsStatus predictor_roots(const float a[], float wr[], float wi[]) {
  if (!roots_can_be_found(a)) return RootsStatus::kBadArguments;
  return zrhqr(a, kLpcOrder, wr, wi);
}

void roots_to_formants(const float wi[], const float wr[], float freq[], float angle[],
                       float radius[], float acc[]) {
  for (int i = 1; i <= kFormantRoots; ++i) {
    angle[i] = atan2_rounded(wi[i], wr[i]);
    const float squares = wr[i] * wr[i] + wi[i] * wi[i];
    radius[i] = std::sqrt(squares);
    freq[i] = angle[i] * kHzPerRadian;
    // The predictor's roots are the reciprocals of its poles: radius 0.8 here is a pole radius
    // of 1.25, and a positive angle here is the pole of a conjugate pair with a negative one.
    acc[i] = (radius[i] < kRadiusLimit || angle[i] <= 0.0f) ? 0.0f : freq[i];
  }
}

void formant_candidates(const float acc[], float candidates[]) {
  for (int i = 0; i < kFormantRoots; ++i) candidates[i] = 0.0f;
  int count = 0;
  for (int i = kFormantRoots; i >= 1; --i) {
    if (acc[i] > 0.0f) candidates[count++] = acc[i];
  }
}

RootsStatus formant_step(const float frame[], float lag, const FftTables& tables, float wr[],
                         float wi[], float candidates[], const SignalKernels& kernels) {
  float R[kLpcOrder + 1];
  envelope_autocorrelation(frame, lag, tables, R, kernels);

  float a[kLpcOrder + 1];
  float k[kLpcOrder];
  levinson_durbin(R, a, k);

  const RootsStatus roots = predictor_roots(a, wr, wi);

  float freq[kFormantRoots + 1];
  float angle[kFormantRoots + 1];
  float radius[kFormantRoots + 1];
  float acc[kFormantRoots + 1] = {};
  roots_to_formants(wi, wr, freq, angle, radius, acc);
  formant_candidates(acc, candidates);
  return roots;
}

void formant_medians(float f1_candidate, float f2_candidate, float f1_history[], float f2_history[],
                     float* f1, float* f2) {
  *f1 = median5(f1_candidate, f1_history);
  *f2 = median5(f2_candidate, f2_history);
}

}  // namespace sonlet
