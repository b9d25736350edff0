// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/hqr.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace sonlet {

// The tests for a negligible element add a small term to a larger one and ask whether the float
// sum still equals the larger one. That only works if float arithmetic is carried out in float.
static_assert(FLT_EVAL_METHOD == 0, "float expressions must be evaluated in float");

namespace {

// Sweeps spent on one bottom element before giving up, and the sweeps after which the shift is
// replaced by an exceptional one to break a cycle.
constexpr int kMaxSweeps = 30;
constexpr int kFirstExceptionalShift = 10;
constexpr int kSecondExceptionalShift = 20;

// |magnitude| with the sign of sign_source, counting zero (of either sign) as positive.
float with_sign_of(float magnitude, float sign_source) {
  return sign_source >= 0.0f ? std::fabs(magnitude) : -std::fabs(magnitude);
}

// One double-shift QR sweep on the active block, rows and columns l..nn (l <= nn - 2), with the
// pair of shifts whose sum is x + y and whose product is x * y - w.
void double_shift_sweep(SquareMatrix& h, int l, int nn, float x, float y, float w) {
  float p = 0.0f;
  float q = 0.0f;
  float r = 0.0f;
  float z = 0.0f;

  // Start the sweep as low as possible: at the first row m, going up, whose subdiagonal element
  // h[m][m-1] is too small next to the first column of the shifted product for a start there to
  // lose anything. m = l always qualifies.
  int m = nn - 2;
  for (; m >= l; --m) {
    z = h[m][m];
    r = x - z;
    float s = y - z;
    p = (r * s - w) / h[m + 1][m] + h[m][m + 1];
    q = h[m + 1][m + 1] - z - r - s;
    r = h[m + 2][m + 1];
    s = std::fabs(p) + std::fabs(q) + std::fabs(r);
    p /= s;
    q /= s;
    r /= s;
    if (m == l) break;
    const float u = std::fabs(h[m][m - 1]) * (std::fabs(q) + std::fabs(r));
    const float v =
        std::fabs(p) * (std::fabs(h[m - 1][m - 1]) + std::fabs(z) + std::fabs(h[m + 1][m + 1]));
    const float sum = u + v;  // rounded to float before the comparison
    if (sum == v) break;
  }

  // Clear what the previous sweep left below the subdiagonal.
  for (int i = m + 2; i <= nn; ++i) {
    h[i][i - 2] = 0.0f;
    if (i != m + 2) h[i][i - 3] = 0.0f;
  }

  // Chase the bulge down with 3-element Householder reflections (2 elements in the last row).
  for (int k = m; k <= nn - 1; ++k) {
    if (k != m) {
      p = h[k][k - 1];
      q = h[k + 1][k - 1];
      r = k != nn - 1 ? h[k + 2][k - 1] : 0.0f;
      x = std::fabs(p) + std::fabs(q) + std::fabs(r);
      if (x != 0.0f) {
        p /= x;
        q /= x;
        r /= x;
      }
    }
    const float s = with_sign_of(std::sqrt(p * p + q * q + r * r), p);
    if (s == 0.0f) continue;
    if (k == m) {
      if (l != m) h[k][k - 1] = -h[k][k - 1];
    } else {
      h[k][k - 1] = -s * x;
    }
    p += s;
    x = p / s;
    y = q / s;
    z = r / s;
    q /= p;
    r /= p;
    for (int j = k; j <= nn; ++j) {
      p = h[k][j] + q * h[k + 1][j];
      if (k != nn - 1) {
        p += r * h[k + 2][j];
        h[k + 2][j] -= p * z;
      }
      h[k + 1][j] -= p * y;
      h[k][j] -= p * x;
    }
    const int last = std::min(nn, k + 3);
    for (int i = l; i <= last; ++i) {
      p = x * h[i][k] + y * h[i][k + 1];
      if (k != nn - 1) {
        p += z * h[i][k + 2];
        h[i][k + 2] -= p * r;
      }
      h[i][k + 1] -= p * q;
      h[i][k] -= p;
    }
  }
}

}  // namespace

bool hqr(SquareMatrix& h, int n, float wr[], float wi[]) {
  if (n < 1) return true;  // no eigenvalues, and h[1][1] need not hold a value

  // Scale for the negligibility test where both neighbouring diagonal elements are zero.
  float anorm = std::fabs(h[1][1]);
  for (int i = 2; i <= n; ++i) {
    for (int j = i - 1; j <= n; ++j) anorm += std::fabs(h[i][j]);
  }

  int nn = n;      // the active block is rows and columns 1..nn
  float t = 0.0f;  // sum of the exceptional shifts applied to the diagonal so far
  while (nn >= 1) {
    int its = 0;
    int l = 1;
    do {
      // The lowest l at which the active block splits: h[l][l-1] is negligible next to its
      // diagonal neighbours. It is left in place, not set to zero.
      for (l = nn; l >= 2; --l) {
        float s = std::fabs(h[l - 1][l - 1]) + std::fabs(h[l][l]);
        if (s == 0.0f) s = anorm;
        const float sum = std::fabs(h[l][l - 1]) + s;  // rounded to float before the comparison
        if (sum == s) break;
      }
      float x = h[nn][nn];
      if (l == nn) {
        wr[nn] = x + t;
        wi[nn] = 0.0f;
        nn -= 1;
      } else {
        float y = h[nn - 1][nn - 1];
        float w = h[nn][nn - 1] * h[nn - 1][nn];
        if (l == nn - 1) {
          // A 2 x 2 block: its eigenvalues from the quadratic. Of a real pair, the second is
          // taken from the product of the two, which avoids cancellation.
          const float p = 0.5f * (y - x);
          const float q = p * p + w;
          float z = std::sqrt(std::fabs(q));
          x += t;
          if (q >= 0.0f) {
            z = p + with_sign_of(z, p);
            wr[nn - 1] = wr[nn] = x + z;
            if (z != 0.0f) wr[nn] = x - w / z;
            wi[nn - 1] = wi[nn] = 0.0f;
          } else {
            wr[nn - 1] = wr[nn] = x + p;
            wi[nn] = z;
            wi[nn - 1] = -z;
          }
          nn -= 2;
        } else {
          if (its == kMaxSweeps) return false;
          if (its == kFirstExceptionalShift || its == kSecondExceptionalShift) {
            t += x;
            for (int i = 1; i <= nn; ++i) h[i][i] -= x;
            const float s = std::fabs(h[nn][nn - 1]) + std::fabs(h[nn - 1][nn - 2]);
            x = y = 0.75f * s;
            w = -0.4375f * s * s;
          }
          its += 1;
          double_shift_sweep(h, l, nn, x, y, w);
        }
      }
    } while (l < nn - 1);
  }
  return true;
}

}  // namespace sonlet
