// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/median5.h"

namespace sonlet {

namespace {
constexpr int kLength = 5;
constexpr float kAboveAnyFrequency = 100000.0f;
}  // namespace

float median5(float x, float history[]) {
  for (int i = 0; i < kLength - 1; ++i) history[i] = history[i + 1];
  history[kLength - 1] = x;

  float sorted[kLength];
  for (int i = 0; i < kLength; ++i) sorted[i] = history[i];
  // Selection sort against a ceiling above every frequency. A value at or above the ceiling
  // (or not a number) is never picked: such a position keeps what it holds, which keeps the
  // result defined for values outside the frequency range.
  for (int i = 0; i < kLength; ++i) {
    float smallest = kAboveAnyFrequency;
    int at = i;
    for (int j = i; j < kLength; ++j) {
      if (sorted[j] < smallest) {
        smallest = sorted[j];
        at = j;
      }
    }
    const float held = sorted[i];
    sorted[i] = sorted[at];
    sorted[at] = held;
  }
  return sorted[kLength / 2];
}

}  // namespace sonlet
