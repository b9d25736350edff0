#include "analysis/fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

namespace {

constexpr const char* kLengthMessage = "\tError: Len of FFT must be exp(2,N), being N natural\n\n";

FftTables tables_for(int n) {
  FftTables t;
  EXPECT_TRUE(fft_tables(n, &t)) << n;
  return t;
}

TEST(FftLog2, PowersOfTwoGiveTheirExactExponentSilently) {
  EXPECT_EQ(fft_log2(512), 9.0f);
  testing::internal::CaptureStdout();
  for (int k = 1; k <= 12; ++k) EXPECT_EQ(fft_log2(1 << k), static_cast<float>(k)) << k;
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(FftLog2, OtherLengthsPrintTheMessageAndGiveMinusOne) {
  for (int n : {300, 3, 511, 513}) {
    testing::internal::CaptureStdout();
    EXPECT_EQ(fft_log2(n), -1.0f) << n;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kLengthMessage) << n;
  }
}

TEST(FftTables, RefusesOtherLengthsAndLeavesTheTablesEmpty) {
  for (int n : {300, 12, 0}) {
    FftTables t = tables_for(64);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(fft_tables(n, &t));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), kLengthMessage) << n;
    EXPECT_TRUE(t.n == 0 && t.stages == 0 && t.perm.empty() && t.cos_table.empty() &&
                t.sin_table.empty())
        << n;
  }
}

TEST(FftTables, PermutationIsTheBitReversal) {
  EXPECT_EQ(tables_for(8).perm, (std::vector<int>{0, 4, 2, 6, 1, 5, 3, 7}));
  const std::vector<int> p512 = tables_for(512).perm;
  EXPECT_EQ(std::vector<int>(p512.begin(), p512.begin() + 8),
            (std::vector<int>{0, 256, 128, 384, 64, 320, 192, 448}));
  for (int bits = 1; bits <= 12; ++bits) {
    const FftTables t = tables_for(1 << bits);
    ASSERT_EQ(t.perm.size(), 1u << bits);
    for (int i = 0; i < t.n; ++i) {
      int reversed = 0;
      for (int b = 0; b < bits; ++b) reversed |= ((i >> b) & 1) << (bits - 1 - b);
      ASSERT_EQ(t.perm[i], reversed) << t.n << " " << i;
    }
  }
}

TEST(FftTables, TwiddlesAreTheRoundedRootsOfEachStage) {
  const FftTables t = tables_for(4096);
  ASSERT_EQ(t.stages, 12);
  EXPECT_TRUE(t.cos_table[0] == std::vector<float>{1.0f} && t.sin_table[0] == std::vector{0.0f});
  for (int s = 0; s < t.stages; ++s) {
    const int half = 1 << s;
    ASSERT_TRUE(t.cos_table[s].size() == half + 0u && t.sin_table[s].size() == half + 0u);
    for (int j = 0; j < half; ++j) {
      // A float rounded from the root lies within half an ulp, at most 2^-25 below 1.
      const long double angle = -std::numbers::pi_v<long double> * j / half;
      EXPECT_LE(std::fabs(t.cos_table[s][j] - std::cos(angle)), 3.0e-8L) << s << " " << j;
      EXPECT_LE(std::fabs(t.sin_table[s][j] - std::sin(angle)), 3.0e-8L) << s << " " << j;
      // The next stage meets the same angle at 2j and must hold the same floats there.
      if (s + 1 < t.stages) {
        EXPECT_EQ(t.cos_table[s][j], t.cos_table[s + 1][2 * j]);
        EXPECT_EQ(t.sin_table[s][j], t.sin_table[s + 1][2 * j]);
      }
    }
  }
}

}  // namespace
