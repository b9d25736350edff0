// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/balance_matrix.h"

#include <cmath>

namespace sonlet {

namespace {

// Scaling by the radix of the float format is exact, so it adds no rounding error.
constexpr float kRadix = 2.0f;
constexpr float kRadixSquared = kRadix * kRadix;

// A rescaling is kept only when it shrinks the row and column together by at least 5 %;
// smaller gains are not worth another sweep.
constexpr float kWorthwhile = 0.95f;

}  // namespace

void balance_matrix(SquareMatrix& h, int n) {
  bool changed = true;
  while (changed) {
    changed = false;
    for (int i = 1; i <= n; ++i) {
      float colsum = 0.0f;
      float rowsum = 0.0f;
      for (int j = 1; j <= n; ++j) {
        if (j != i) {
          colsum += std::fabs(h[j][i]);
          rowsum += std::fabs(h[i][j]);
        }
      }
      // A zero sum leaves nothing to balance against. An infinite sum (an infinite element, or
      // finite ones whose sum overflows) is passed over too: no power of two brings infinity
      // within a factor of two of a finite row sum, so the search below would divide an infinite
      // column sum by four for ever. In every other case with an infinite sum the comparisons
      // below already end without scaling, so passing over changes nothing there. NaN sums are
      // not passed over: every comparison with NaN is false, so both searches stop at once and a
      // NaN row or column is never scaled.
      if (colsum == 0.0f || rowsum == 0.0f || std::isinf(colsum) || std::isinf(rowsum)) continue;

      float bound = rowsum / kRadix;
      float scale = 1.0f;
      const float total = colsum + rowsum;
      while (colsum < bound) {
        scale *= kRadix;
        colsum *= kRadixSquared;
      }
      bound = rowsum * kRadix;
      while (colsum > bound) {
        scale /= kRadix;
        colsum /= kRadixSquared;
      }
      if ((colsum + rowsum) / scale < kWorthwhile * total) {
        changed = true;
        const float inverse = 1.0f / scale;
        for (int j = 1; j <= n; ++j) h[i][j] *= inverse;
        for (int j = 1; j <= n; ++j) h[j][i] *= scale;
      }
    }
  }
}

}  // namespace sonlet
