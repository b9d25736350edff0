// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "numeric/matrix.h"

namespace sonlet {

// Balances the n x n matrix h[1..n][1..n] in place by powers of two, which leaves the
// eigenvalues unchanged and adds no rounding error. in: n in 0..kMaxMatrixOrder.
void balance_matrix(SquareMatrix& h, int n);

}  // namespace sonlet
