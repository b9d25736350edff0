// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/levinson_durbin.h"

#include "analysis/signal_constants.h"

namespace sonlet {

void levinson_durbin(const float r[], float a[], float k[]) {
  float b[kLpcOrder + 1];  // the predictor of the previous order
  for (int j = 0; j <= kLpcOrder; ++j) {
    a[j] = 0.0f;
    b[j] = 0.0f;
  }
  float error = r[0];
  a[0] = 1.0f;
  b[0] = 1.0f;

  for (int i = 1; i <= kLpcOrder; ++i) {
    float s = r[i];
    for (int j = 1; j < i; ++j) s += b[j] * r[i - j];
    // With no prediction error left the recursion cannot divide; the raw sum is taken as it
    // is (for an all-zero input it is 0 and the predictor stays trivial).
    const float reflection = error != 0.0f ? -s / error : s;
    k[i - 1] = reflection;
    error = error * (1.0f - reflection * reflection);
    a[i] = reflection;
    for (int j = 1; j < i; ++j) a[j] = b[j] + reflection * b[i - j];
    for (int j = 0; j <= kLpcOrder; ++j) b[j] = a[j];
  }
  a[0] = 1.0f;
}

}  // namespace sonlet
