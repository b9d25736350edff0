#pragma once

// Transcendental functions for the signal path. Each one is evaluated in double on the float
// argument and rounded once to float. glibc's double functions are correctly rounded in practice,
// so every platform gives the same floats; the float functions (log10f, powf) differ from that
// by one ulp on a few percent of inputs.

#include <cmath>

inline float log10_rounded(float x) { return static_cast<float>(std::log10(static_cast<double>(x))); }
inline float ln_rounded(float x) { return static_cast<float>(std::log(static_cast<double>(x))); }
inline float exp10_rounded(float y) { return static_cast<float>(std::pow(10.0, static_cast<double>(y))); }
inline float cos_rounded(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }
inline float atan2_rounded(float y, float x) {
  return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

// Block forms for the per-frame spectra: out[i] = log10_rounded(in[i]), exp10_rounded(in[i])
// for i = 0..n-1, bit for bit, vectorised where that is possible.
// in: [0..n-1]; out: [0..n-1] (may be the same array as in).
void log10_block(const float in[], float out[], int n);
void exp10_block(const float in[], float out[], int n);
