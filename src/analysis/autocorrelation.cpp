// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/autocorrelation.h"

namespace sonlet {

namespace {

// Four floats in one SSE register; GCC lowers the arithmetic to packed single-precision
// instructions on every x86-64 (and to scalar code elsewhere). Each lane is its own sum.
typedef float Lanes __attribute__((vector_size(16)));

constexpr int kLanes = 4;
constexpr int kVectors = 8;  // 32 lags at once: enough independent sums to hide add latency
constexpr int kGroup = kLanes * kVectors;

Lanes load(const float* p) {
  Lanes v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

// Lags first..first+kGroup-1 side by side. Lane i of vector v holds the sum for lag
// first + 4v + i; every lane adds x[j] x[j+lag] for j = 0, 1, 2, ... in turn, so each sum sees
// the same products in the same order as the plain loop.
void autocorrelation_group(const float x[], float r[], int first, int n) {
  Lanes sum[kVectors] = {};
  // While j + first + kGroup - 1 <= n - 1 every lag of the group still has a product at j.
  const int shared_end = n - (first + kGroup - 1);
  int j = 0;
  for (; j < shared_end; ++j) {
    const Lanes xj = {x[j], x[j], x[j], x[j]};
    const float* shifted = x + j + first;
#pragma GCC unroll 8
    for (int v = 0; v < kVectors; ++v) sum[v] += xj * load(shifted + kLanes * v);
  }
  for (int v = 0; v < kVectors; ++v) {
    for (int i = 0; i < kLanes; ++i) {
      const int lag = first + kLanes * v + i;
      float s = sum[v][i];
      // The shorter lags of the group go on alone for the products the group could not share.
      for (int t = j; t < n - lag; ++t) s += x[t] * x[t + lag];
      r[lag] = s;
    }
  }
}

}  // namespace

void autocorrelation_plain(const float x[], float r[], int count, int n) {
  for (int k = 0; k < count; ++k) {
    float sum = 0.0f;
    for (int j = 0; j < n - k; ++j) sum += x[j] * x[j + k];
    r[k] = sum;
  }
}

void autocorrelation(const float x[], float r[], int count, int n) {
  if (count < kGroup) {
    autocorrelation_plain(x, r, count, n);
    return;
  }
  int first = 0;
  for (; first + kGroup <= count; first += kGroup) autocorrelation_group(x, r, first, n);
  // The last group is shifted back to end at the last lag; the lags it computes again come out
  // identical, which is cheaper than summing the leftover lags one at a time.
  if (first < count) autocorrelation_group(x, r, count - kGroup, n);
}

}  // namespace sonlet
