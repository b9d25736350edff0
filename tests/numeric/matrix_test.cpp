#include "numeric/matrix.h"

#include <gtest/gtest.h>

#include "numeric/numeric_error.h"

namespace {

// Fills every element with a value that names its position, then reads them all back: any two
// elements sharing storage would show up as a mismatch.
void ExpectElementsDistinct(float** m, int first_row, int last_row, int first_col, int last_col) {
  auto tag = [](int i, int j) { return static_cast<float>(1000 * i + j); };
  for (int i = first_row; i <= last_row; ++i) {
    for (int j = first_col; j <= last_col; ++j) m[i][j] = tag(i, j);
  }
  for (int i = first_row; i <= last_row; ++i) {
    for (int j = first_col; j <= last_col; ++j) ASSERT_EQ(m[i][j], tag(i, j)) << i << "," << j;
  }
}

TEST(NumericMatrix, OneBasedRowsFillTheElementBlockBehindOneSpare) {
  float** m = matrix(1, 50, 1, 50);
  const float* block = &m[1][1] - 1;  // the spare element
  for (int i = 1; i < 50; ++i) EXPECT_EQ(&m[i + 1][1] - &m[i][1], 50) << "row " << i;
  EXPECT_EQ(&m[50][50] - block, 50 * 50);  // the last of 2,501 floats
  ExpectElementsDistinct(m, 1, 50, 1, 50);
  // Under AddressSanitizer, a wrong block start here fails as an invalid or leaked free.
  matrix_free(m, 1, 50, 1, 50);
}

TEST(NumericMatrix, OtherIndexRangesWork) {
  float** m = matrix(0, 3, -2, 4);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(&m[i + 1][-2] - &m[i][-2], 7);
  EXPECT_EQ(&m[3][4] - &m[0][-2], 4 * 7 - 1);
  ExpectElementsDistinct(m, 0, 3, -2, 4);
  matrix_free(m, 0, 0, -2, 0);  // the last indices are not used
}

TEST(NumericErrorDeathTest, PrintsThreeLinesAndExitsWithStatusOne) {
  EXPECT_EXIT(numeric_error("bad args in zrhqr"), testing::ExitedWithCode(1),
              "^Numerical Recipes run-time error\\.\\.\\.\n"
              "bad args in zrhqr\n"
              "\\.\\.\\.now exiting to system\\.\\.\\.\n$");
}

}  // namespace
