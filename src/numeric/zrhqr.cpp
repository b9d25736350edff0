#include "numeric/zrhqr.h"

#include "numeric/balance_matrix.h"
#include "numeric/hqr.h"
#include "numeric/matrix.h"
#include "numeric/numeric_error.h"

namespace {

constexpr int kMaxDegree = 50;  // size of the working matrix

}  // namespace

void zrhqr(const float a[], int m, float wr[], float wi[]) {
  float** hess = matrix(1, kMaxDegree, 1, kMaxDegree);
  // A negative degree is as much a caller's mistake as one above the matrix size, and there is
  // no a[m] to look at, so it is refused the same way before a[m] is read.
  if (m < 0 || m > kMaxDegree || a[m] == 0.0f) numeric_error("bad args in zrhqr");

  // Companion matrix: minus the monic coefficients across row 1, ones on the subdiagonal. Its
  // eigenvalues are the roots.
  for (int k = 1; k <= m; ++k) {
    hess[1][k] = -a[m - k] / a[m];
    for (int j = 2; j <= m; ++j) hess[j][k] = 0.0f;
    if (k < m) hess[k + 1][k] = 1.0f;
  }
  balance_matrix(hess, m);
  hqr(hess, m, wr, wi);

  // Straight insertion by real part. It is stable, so the two halves of a conjugate pair, which
  // share one real part, stay in the order hqr gave them.
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

  matrix_free(hess, 1, kMaxDegree, 1, kMaxDegree);
}
