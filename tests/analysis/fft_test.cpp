// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/fft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <complex>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace sonlet {

namespace {

using Limits = std::numeric_limits<float>;

struct Signal {
  std::vector<float> re, im;
};

FftTables TablesFor(int n) {
  FftTables t;
  EXPECT_TRUE(fft_tables(n, &t)) << n;
  return t;
}

// Runs fft() (fast) or fft_plain() into outputs followed by a guard zone that must stay untouched.
Signal Transform(bool fast, int inverse, const Signal& x, const FftTables& t) {
  Signal out{std::vector<float>(t.n + 8, 7.0f), std::vector<float>(t.n + 8, 7.0f)};
  (fast ? fft : fft_plain)(inverse, x.re.data(), x.im.data(), out.re.data(), out.im.data(), t.n, t);
  for (int i = t.n; i < t.n + 8; ++i) EXPECT_TRUE(out.re[i] == 7.0f && out.im[i] == 7.0f);
  out.re.resize(t.n);
  out.im.resize(t.n);
  return out;
}

Signal RandomSignal(int n, std::mt19937& rng, bool real) {
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  Signal x{std::vector<float>(n), std::vector<float>(n)};
  for (int i = 0; i < n; ++i) x.re[i] = u(rng), x.im[i] = real ? 0.0f : u(rng);
  return x;
}

// Largest distance of X from the DFT of x by its definition, computed in double, relative to the
// root mean square of that DFT.
double ErrorAgainstDft(const Signal& X, const Signal& x, bool inverse) {
  const int n = static_cast<int>(x.re.size());
  double worst = 0, power = 0;
  for (int k = 0; k < n; ++k) {
    std::complex<double> sum = 0;
    for (int m = 0; m < n; ++m) {
      const double angle = (inverse ? 2 : -2) * std::numbers::pi * (k * m % n) / n;
      sum += std::complex<double>(x.re[m], x.im[m]) * std::polar(1.0, angle);
    }
    if (inverse) sum /= n;
    worst = std::max(worst, std::abs(std::complex<double>(X.re[k], X.im[k]) - sum));
    power += std::norm(sum);
  }
  return worst / std::sqrt(power / n);
}

TEST(FftLog2, PowersOfTwoGiveTheirExponentAndOtherLengthsMinusOne) {
  EXPECT_EQ(fft_log2(512), 9.0f);
  for (int k = 1; k <= 12; ++k) EXPECT_EQ(fft_log2(1 << k), static_cast<float>(k)) << k;
  for (int n : {300, 3, 511, 513}) EXPECT_EQ(fft_log2(n), -1.0f) << n;
}

TEST(FftTables, RefusesOtherLengthsAndLeavesTheTablesEmpty) {
  for (int n : {300, 12, 0}) {
    FftTables t = TablesFor(64);
    EXPECT_FALSE(fft_tables(n, &t)) << n;
    EXPECT_TRUE(t.n == 0 && t.stages == 0 && t.perm.empty() && t.cos_table.empty() &&
                t.sin_table.empty())
        << n;
  }
}

TEST(FftTables, PermutationIsTheBitReversal) {
  EXPECT_EQ(TablesFor(8).perm, (std::vector<int>{0, 4, 2, 6, 1, 5, 3, 7}));
  const std::vector<int> p512 = TablesFor(512).perm;
  EXPECT_EQ(std::vector<int>(p512.begin(), p512.begin() + 8),
            (std::vector<int>{0, 256, 128, 384, 64, 320, 192, 448}));
  for (int bits = 1; bits <= 12; ++bits) {
    const FftTables t = TablesFor(1 << bits);
    ASSERT_EQ(t.perm.size(), 1u << bits);
    for (int i = 0; i < t.n; ++i) {
      int reversed = 0;
      for (int b = 0; b < bits; ++b) reversed |= ((i >> b) & 1) << (bits - 1 - b);
      ASSERT_EQ(t.perm[i], reversed) << t.n << " " << i;
    }
  }
}

TEST(FftTables, TwiddlesAreTheRoundedRootsOfEachStage) {
  const FftTables t = TablesFor(4096);
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

TEST(FftTransform, ImpulseAndConstantGiveTheirExactSpectra) {
  const FftTables t = TablesFor(512);
  Signal impulse{std::vector<float>(512), std::vector<float>(512)};
  impulse.re[0] = 1.0f;
  const Signal constant{std::vector<float>(512, 1.0f), std::vector<float>(512)};
  for (bool fast : {true, false}) {
    // Every product meets a zero, so the impulse's ones pass through unrounded; bin 0 of the
    // constant only meets the twiddle 1 - 0i, so its sums of whole numbers are exact.
    const Signal I = Transform(fast, 0, impulse, t), C = Transform(fast, 0, constant, t);
    for (int k = 0; k < 512; ++k) {
      EXPECT_TRUE(I.re[k] == 1.0f && I.im[k] == 0.0f) << fast << " " << k;
      if (k == 0) {
        EXPECT_TRUE(C.re[k] == 512.0f && C.im[k] == 0.0f) << fast;
      } else {
        EXPECT_LT(std::hypot(C.re[k], C.im[k]), 2e-4) << fast << " " << k;
      }
    }
  }
}

TEST(FftTransform, MatchesTheDoubleDftAndInvertsItself) {
  std::mt19937 rng(11);
  for (int bits = 1; bits <= 11; ++bits) {
    const FftTables t = TablesFor(1 << bits);
    const Signal x = RandomSignal(t.n, rng, false);
    for (bool fast : {true, false}) {
      // Each stage adds a few roundings of relative size 2^-24 to every output.
      for (int inverse : {0, 1}) {
        EXPECT_LT(ErrorAgainstDft(Transform(fast, inverse, x, t), x, inverse != 0), 1.5e-7 * bits)
            << t.n << " " << fast << " " << inverse;
      }
      const Signal y = Transform(fast, 1, Transform(fast, 0, x, t), t);
      for (int i = 0; i < t.n; ++i) {
        EXPECT_NEAR(y.re[i], x.re[i], 1e-6) << t.n << " " << i;
        EXPECT_NEAR(y.im[i], x.im[i], 1e-6) << t.n << " " << i;
      }
    }
  }
}

TEST(FftTransform, RealInputGivesAConjugateSymmetricSpectrum) {
  std::mt19937 rng(12);
  for (int n : {16, 512, 4096}) {
    const Signal X = Transform(true, 0, RandomSignal(n, rng, true), TablesFor(n));
    for (int k = 1; k < n; ++k) {
      EXPECT_NEAR(X.re[n - k], X.re[k], 1e-5) << n << " " << k;
      EXPECT_NEAR(X.im[n - k], -X.im[k], 1e-5) << n << " " << k;
    }
  }
}

// fft() and fft_plain() must give the same bits, NaN payloads and signed zeros included.
void ExpectIdentical(const Signal& x, const FftTables& t) {
  for (int inverse : {0, 1}) {
    const Signal fast = Transform(true, inverse, x, t), plain = Transform(false, inverse, x, t);
    EXPECT_EQ(0, std::memcmp(fast.re.data(), plain.re.data(), t.n * sizeof(float)))
        << "n=" << t.n << " inverse=" << inverse;
    EXPECT_EQ(0, std::memcmp(fast.im.data(), plain.im.data(), t.n * sizeof(float)))
        << "n=" << t.n << " inverse=" << inverse;
  }
}

TEST(FftFastPath, MatchesThePlainLoopBitForBitOnFiniteInputs) {
  std::mt19937 rng(13);
  for (int bits = 1; bits <= 12; ++bits) {
    const FftTables t = TablesFor(1 << bits);
    for (int trial = 0; trial < 20; ++trial) ExpectIdentical(RandomSignal(t.n, rng, trial % 2), t);
  }
  // Engine-like frames: 300 samples of a windowed tone pair in noise, padded with zeros, real.
  const FftTables t = TablesFor(512);
  std::normal_distribution<float> noise(0.0f, 0.05f);
  for (int trial = 0; trial < 20; ++trial) {
    Signal frame{std::vector<float>(512), std::vector<float>(512)};
    for (int i = 0; i < 300; ++i) {
      const double hann = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / 299);
      const double tone = std::sin(0.1 * (trial + 1) * i) + 0.3 * std::sin(0.77 * i);
      frame.re[i] = static_cast<float>(hann * (tone + noise(rng)) * 3000.0);
    }
    ExpectIdentical(frame, t);
  }
}

TEST(FftFastPath, MatchesThePlainLoopBitForBitOnSpecialValues) {
  // NaNs of both signs and several payloads (one signalling), so that the NaN that survives an
  // operation shows which operand it came from.
  const std::vector<float> specials = {0.0f,
                                       -0.0f,
                                       Limits::infinity(),
                                       -Limits::infinity(),
                                       Limits::quiet_NaN(),
                                       -Limits::quiet_NaN(),
                                       std::bit_cast<float>(0x7fc12345u),
                                       std::bit_cast<float>(0xff80abcdu),
                                       Limits::denorm_min(),
                                       -1.5e-41f,
                                       Limits::min(),
                                       Limits::max(),
                                       -Limits::max()};
  std::mt19937 rng(14);
  std::uniform_int_distribution<size_t> pick(0, specials.size() - 1);
  for (int bits = 1; bits <= 12; ++bits) {
    const FftTables t = TablesFor(1 << bits);
    for (double density : {0.01, 0.2, 1.0}) {
      std::bernoulli_distribution is_special(density);
      for (int trial = 0; trial < 10; ++trial) {
        Signal x = RandomSignal(t.n, rng, trial % 2);
        for (int i = 0; i < t.n; ++i) {
          if (is_special(rng)) x.re[i] = specials[pick(rng)];
          if (trial % 2 == 0 && is_special(rng)) x.im[i] = specials[pick(rng)];
        }
        ExpectIdentical(x, t);
      }
    }
    // The log spectrum of a silent frame: every value -inf, imaginary part zero.
    ExpectIdentical(Signal{std::vector<float>(t.n, -Limits::infinity()), std::vector<float>(t.n)},
                    t);
  }
}

}  // namespace

}  // namespace sonlet
