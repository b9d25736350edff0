// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

enum class RootsStatus {
  kFound,              // wr and wi hold all m roots
  kTooManyIterations,  // hqr gave up: some entries are the caller's, sorted in with the roots
  kBadArguments,       // m outside 0..50 or a[m] == 0: nothing written
};

// All roots of the real polynomial a[0] + a[1] x + ... + a[m] x^m (in: a[0..m]), as the
// eigenvalues of its balanced companion matrix, sorted by increasing real part.
// out: wr[1..m] real parts, wi[1..m] imaginary parts; index 0 is never touched.
// A degree outside 0..50 or a leading coefficient of 0 is refused before a[m] is read.
RootsStatus zrhqr(const float a[], int m, float wr[], float wi[]);

}  // namespace sonlet
