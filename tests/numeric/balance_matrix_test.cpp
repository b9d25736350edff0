// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/balance_matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "numeric/matrix.h"

namespace sonlet {

namespace {

using Rows = std::vector<std::vector<float>>;

// Balances a copy of rows (row i of the result is row i + 1 of the 1-based matrix).
Rows Balanced(const Rows& rows) {
  const int n = static_cast<int>(rows.size());
  SquareMatrix h;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) h[i][j] = rows[i - 1][j - 1];
  }
  balance_matrix(h, n);
  Rows out(rows);
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) out[i - 1][j - 1] = h[i][j];
  }
  return out;
}

bool IsPowerOfTwo(float x) {
  int exponent = 0;
  return std::frexp(x, &exponent) == 0.5f;
}

TEST(NumericBalance, MatrixWithColumnSumsWithinTwiceTheRowSumsIsLeftAlone) {
  // Off-diagonal column sums 4, 3, 3 against row sums 3, 4, 3.
  const Rows rows = {{5, 1, 2}, {3, -7, 1}, {1, 2, 9}};
  EXPECT_EQ(Balanced(rows), rows);
  // 0.45 against 1 could become 0.9 against 0.5, but 1.4 is not below 0.95 * 1.45: not worth it.
  const Rows small_gain = {{0, 1}, {0.45f, 0}};
  EXPECT_EQ(Balanced(small_gain), small_gain);
}

TEST(NumericBalance, BadlyScaledMatrixIsScaledByPowersOfTwoOnly) {
  const Rows rows = {{1, 3e4f, -2e3f, 5e5f},
                     {1e-3f, 2, 7e2f, -1e4f},
                     {-3e-4f, 4e-2f, 3, 9e1f},
                     {2e-5f, -1e-3f, 6e-2f, 4}};
  const Rows out = Balanced(rows);
  ASSERT_NE(out, rows);
  // The result must be D^-1 * rows * D for a diagonal D of powers of two: a similarity, so the
  // eigenvalues are kept, and exact, so no element picks up rounding error. D is read off row 1.
  std::vector<float> d(4);
  for (int j = 0; j < 4; ++j) {
    d[j] = j == 0 ? 1.0f : out[0][j] / rows[0][j];
    ASSERT_TRUE(IsPowerOfTwo(d[j])) << d[j];
  }
  for (int i = 0; i < 4; ++i) {
    for (int j = 0; j < 4; ++j) EXPECT_EQ(out[i][j], rows[i][j] / d[i] * d[j]) << i << "," << j;
  }
  // And the result is balanced: each off-diagonal column sum within 4 of its row sum.
  for (int i = 0; i < 4; ++i) {
    float colsum = 0, rowsum = 0;
    for (int j = 0; j < 4; ++j) {
      if (j != i) colsum += std::fabs(out[j][i]), rowsum += std::fabs(out[i][j]);
    }
    EXPECT_GT(colsum, rowsum / 4) << i;
    EXPECT_LT(colsum, rowsum * 4) << i;
  }
}

TEST(NumericBalance, NonFiniteSumsEndWithoutScaling) {
  const float inf = std::numeric_limits<float>::infinity();
  // Column 2 sums to infinity against a finite row 2: no power of two can balance it.
  const Rows infinite = {{1, inf}, {1, 2}};
  EXPECT_EQ(Balanced(infinite), infinite);
  // The same with finite elements whose column sum overflows; it just has to return.
  Balanced({{0, 1, 3e38f}, {1, 0, 3e38f}, {0, 1, 0}});
  const Rows nan = Balanced({{1, std::nanf("")}, {1e-6f, 2}});
  EXPECT_TRUE(std::isnan(nan[0][1]));
  EXPECT_EQ(nan[1][0], 1e-6f);
}

}  // namespace

}  // namespace sonlet
