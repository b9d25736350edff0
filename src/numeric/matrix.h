// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// The root finder's working matrix: single precision, rows and columns numbered 1..kMaxOrder so
// that the loops read like the algorithm texts; row 0 and column 0 are spare. It is one plain
// array, so its owner keeps it on the stack or in its own storage and nothing is allocated per
// frame, and h[i][j] never points outside it.

inline constexpr int kMaxMatrixOrder = 50;

struct SquareMatrix {
  float element[kMaxMatrixOrder + 1][kMaxMatrixOrder + 1];

  // Row i, its elements at [1..kMaxMatrixOrder]. in: i in 0..kMaxMatrixOrder.
  float* operator[](int i) { return element[i]; }
  const float* operator[](int i) const { return element[i]; }
};

}  // namespace sonlet
