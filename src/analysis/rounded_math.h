// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Transcendental functions for the signal path. Each one is evaluated in double on the float
// argument and rounded once to float. glibc's double functions are correctly rounded in practice,
// so every platform gives the same floats; the float functions (log10f, powf) differ from that
// by one ulp on a few percent of inputs.

#include <cmath>

namespace sonlet {

inline float log10_rounded(float x) {
  return static_cast<float>(std::log10(static_cast<double>(x)));
}
inline float ln_rounded(float x) { return static_cast<float>(std::log(static_cast<double>(x))); }
inline float exp10_rounded(float y) {
  return static_cast<float>(std::pow(10.0, static_cast<double>(y)));
}
inline float cos_rounded(float x) { return static_cast<float>(std::cos(static_cast<double>(x))); }
inline float atan2_rounded(float y, float x) {
  return static_cast<float>(std::atan2(static_cast<double>(y), static_cast<double>(x)));
}

// Block forms for the per-frame spectra: out[i] = log10_rounded(in[i]), exp10_rounded(in[i])
// for i = 0..n-1, bit for bit, vectorised where that is possible.
// in: [0..n-1]; out: [0..n-1] (may be the same array as in).
void log10_block(const float in[], float out[], int n);
void exp10_block(const float in[], float out[], int n);

// The double values that log10_block and exp10_block round to float, exposed so that tests can
// measure how far they lie from glibc's. Each is the fast approximation for an argument the
// vector path takes (log10: positive normal floats; exp10: -37.9 <= y <= 38.5, where 10^y is a
// normal float) and NaN for an argument that always goes to the scalar form.
namespace rounded_math_detail {
// The vector path needs SSE2 (every x86-64). Elsewhere the block forms are the scalar loop,
// every argument goes to the scalar form, and the two functions below always give NaN.
#if defined(__SSE2__)
inline constexpr bool kHasVectorPath = true;
#else
inline constexpr bool kHasVectorPath = false;
#endif

double log10_unrounded(float x);  // x: any float
double exp10_unrounded(float y);  // y: any float

// An approximation that lies within this many units in the last place of its double of a
// midpoint between two floats might round the other way from glibc's value, so the block forms
// recompute that element with the scalar form. The approximations must therefore stay well
// within this distance of glibc's results.
inline constexpr int kMidpointGuardUlps = 1024;
}  // namespace rounded_math_detail

}  // namespace sonlet
