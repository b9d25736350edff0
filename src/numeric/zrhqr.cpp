// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/zrhqr.h"

#include "numeric/balance_matrix.h"
#include "numeric/hqr.h"
#include "numeric/matrix.h"

namespace sonlet {

RootsStatus zrhqr(const float a[], int m, float wr[], float wi[]) {
  // A negative degree is as much a caller's mistake as one above the matrix size, and there is
  // no a[m] to look at, so it is refused the same way before a[m] is read.
  if (m < 0 || m > kMaxMatrixOrder || a[m] == 0.0f) return RootsStatus::kBadArguments;

  // Only the top-left m x m corner is written or read; 10 kB on the stack, nothing allocated.
  SquareMatrix hess;
  // Companion matrix: minus the monic coefficients across row 1, ones on the subdiagonal. Its
  // eigenvalues are the roots.
  for (int k = 1; k <= m; ++k) {
    hess[1][k] = -a[m - k] / a[m];
    for (int j = 2; j <= m; ++j) hess[j][k] = 0.0f;
    if (k < m) hess[k + 1][k] = 1.0f;
  }
  balance_matrix(hess, m);
  const bool isolated_all = hqr(hess, m, wr, wi);

  // Straight insertion by real part. It is stable, so the two halves of a conjugate pair, which
  // share one real part, stay in the order hqr gave them. After hqr gave up, the caller's stale
  // entries are sorted in with the roots.
  for (int j = 2; j <= m; ++j) {
    const float xr = wr[j];
    const float xi = wi[j];
    int k = j - 1;
    for (; k >= 1; --k) {
      if (wr[k] <= xr) break;
      wr[k + 1] = wr[k];
      wi[k + 1] = wi[k];
    }
    wr[k + 1] = xr;
    wi[k + 1] = xi;
  }
  return isolated_all ? RootsStatus::kFound : RootsStatus::kTooManyIterations;
}

}  // namespace sonlet
