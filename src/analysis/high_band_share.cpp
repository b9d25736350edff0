// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/high_band_share.h"

namespace sonlet {

float HighBandShare(const int16_t block[], int count) {
  // 16-bit samples: each sum stays far inside 64 bits for any block the engine reads.
  int64_t sum = 0;
  int64_t sum_of_squares = 0;
  int64_t difference_energy = 0;
  for (int n = 0; n < count; ++n) {
    const int64_t x = block[n];
    sum += x;
    sum_of_squares += x * x;
    if (n > 0) {
      const int64_t d = x - block[n - 1];
      difference_energy += d * d;
    }
  }
  // count times the energy around the mean; a difference does not see the mean at all.
  const int64_t scaled_energy = count * sum_of_squares - sum * sum;
  if (scaled_energy <= 0) return 0.0f;
  const double share = static_cast<double>(count) * static_cast<double>(difference_energy) /
                       (4.0 * static_cast<double>(scaled_energy));
  return static_cast<float>(share);
}

}  // namespace sonlet
