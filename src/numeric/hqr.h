// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "numeric/matrix.h"

namespace sonlet {

// Eigenvalues of the upper Hessenberg matrix h[1..n][1..n] by the Francis double-shift QR
// iteration. Writes real parts to wr[1..n] and imaginary parts to wi[1..n]; h is destroyed.
// in: n in 0..kMaxMatrixOrder.
// Returns false when it gave up: after 30 sweeps on one bottom element without isolating a root
// it returns at once, and the entries it did not reach keep what the caller left in them.
bool hqr(SquareMatrix& h, int n, float wr[], float wi[]);

}  // namespace sonlet
