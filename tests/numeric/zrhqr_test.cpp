// SPDX-License-Identifier: GPL-3.0-or-later
#include "numeric/zrhqr.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "numeric/hqr.h"
#include "numeric/matrix.h"

namespace sonlet {

namespace {

constexpr float kUnset = -12345.0f;  // what the caller leaves in the root arrays

struct Roots {
  std::vector<float> wr, wi;  // 1-based, as zrhqr fills them
};

// Runs zrhqr on a[0..m] with root arrays one longer than needed on each side, and checks that
// index 0 and index m + 1 are left alone and that it gave the expected status.
Roots FindRoots(const std::vector<float>& a, Roots roots = {},
                RootsStatus expected = RootsStatus::kFound) {
  const int m = static_cast<int>(a.size()) - 1;
  roots.wr.resize(m + 2, kUnset);
  roots.wi.resize(m + 2, kUnset);
  EXPECT_EQ(zrhqr(a.data(), m, roots.wr.data(), roots.wi.data()), expected);
  EXPECT_EQ(roots.wr[0], kUnset);
  EXPECT_EQ(roots.wi[0], kUnset);
  EXPECT_EQ(roots.wr[m + 1], kUnset);
  EXPECT_EQ(roots.wi[m + 1], kUnset);
  return roots;
}

// Coefficients a[0..n], lowest power first, of the monic polynomial with the given roots,
// multiplied out in double and rounded to float.
std::vector<float> PolynomialWithRoots(const std::vector<std::complex<double>>& roots) {
  std::vector<std::complex<double>> c = {1.0};
  for (const auto& root : roots) {
    c.insert(c.begin(), 0.0);  // times x
    for (size_t i = 0; i + 1 < c.size(); ++i) c[i] -= root * c[i + 1];
  }
  std::vector<float> a;
  for (const auto& ci : c) a.push_back(static_cast<float>(ci.real()));
  return a;
}

TEST(NumericRoots, RealRootsComeOutAscending) {
  Roots r = FindRoots({-3, 1});  // x - 3
  EXPECT_EQ(r.wr[1], 3.0f);
  EXPECT_EQ(r.wi[1], 0.0f);

  r = FindRoots({2, -3, 1});  // (x - 1)(x - 2); the eigenvalue routine finds 2 first
  EXPECT_FLOAT_EQ(r.wr[1], 1.0f);
  EXPECT_FLOAT_EQ(r.wr[2], 2.0f);
  EXPECT_EQ(r.wi[1], 0.0f);
  EXPECT_EQ(r.wi[2], 0.0f);

  r = FindRoots({1, -2, 1});  // (x - 1)^2
  EXPECT_FLOAT_EQ(r.wr[1], 1.0f);
  EXPECT_FLOAT_EQ(r.wr[2], 1.0f);
  EXPECT_EQ(r.wi[1], 0.0f);
  EXPECT_EQ(r.wi[2], 0.0f);
}

TEST(NumericRoots, ConjugatePairKeepsNegativeImaginaryPartFirst) {
  const Roots r = FindRoots({1, 0, 1});  // x^2 + 1 = (x - i)(x + i)
  EXPECT_EQ(r.wr[1], 0.0f);
  EXPECT_EQ(r.wr[2], 0.0f);
  EXPECT_EQ(r.wi[1], -1.0f);
  EXPECT_EQ(r.wi[2], 1.0f);
}

TEST(NumericRoots, DegreeZeroWritesNothing) {
  const Roots r = FindRoots({5});
  EXPECT_EQ(r.wr[1], kUnset);
  EXPECT_EQ(r.wi[1], kUnset);
}

TEST(NumericRoots, TinyLeadingCoefficientGivesHugeRoot) {
  const Roots r = FindRoots({-1, 1e-30f});  // 1e-30 x - 1
  EXPECT_NEAR(r.wr[1] / 1e30, 1.0, 1e-6);
  EXPECT_EQ(r.wi[1], 0.0f);
}

// A predictor polynomial with four resonances of a vowel-like spectrum at 8000 samples a second:
// pole pairs r exp(+-i 2 pi f / 8000). Rounding its coefficients to float moves these well
// separated roots by a few 1e-7, so they must come back within 2e-6, sorted by real part, each
// pair with its negative imaginary part first.
TEST(NumericRoots, PredictorPolynomialOfDegreeEight) {
  const double formant_hz[] = {700, 1220, 2600, 3500};
  const double radius[] = {0.98, 0.96, 0.93, 0.9};
  std::vector<std::complex<double>> poles;
  for (int k = 0; k < 4; ++k) {
    const double angle = 2 * std::numbers::pi * formant_hz[k] / 8000;
    poles.push_back(std::polar(radius[k], -angle));
    poles.push_back(std::polar(radius[k], angle));
  }
  const Roots r = FindRoots(PolynomialWithRoots(poles));
  std::stable_sort(poles.begin(), poles.end(), [](auto p, auto q) { return p.real() < q.real(); });
  for (int k = 1; k <= 8; ++k) {
    EXPECT_NEAR(r.wr[k], poles[k - 1].real(), 2e-6) << k;
    EXPECT_NEAR(r.wi[k], poles[k - 1].imag(), 2e-6) << k;
  }
}

TEST(NumericRoots, NanCoefficientLeavesCallersEntriesSortedWhenHqrGivesUp) {
  Roots stale;
  stale.wr = {kUnset, 3, 1, 3, 2, 1, 5, 0, 2, kUnset};
  stale.wi = {kUnset, 10, 20, 30, 40, 50, 60, 70, 80, kUnset};
  const Roots r =
      FindRoots({1, 2, 3, 4, 5, 6, 7, 8, std::nanf("")}, stale, RootsStatus::kTooManyIterations);
  // The caller's pairs by real part, ties in their original order.
  EXPECT_THAT(r.wr, testing::ElementsAre(kUnset, 0, 1, 1, 2, 2, 3, 3, 5, kUnset));
  EXPECT_THAT(r.wi, testing::ElementsAre(kUnset, 70, 20, 50, 40, 80, 10, 30, 60, kUnset));
}

// Runs hqr on a copy of the upper Hessenberg rows (row i is row i + 1 of the 1-based matrix) and
// returns whether it isolated every eigenvalue.
bool RunHqr(const std::vector<std::vector<float>>& rows, float wr[], float wi[]) {
  const int n = static_cast<int>(rows.size());
  SquareMatrix h;
  for (int i = 1; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) h[i][j] = rows[i - 1][j - 1];
  }
  return hqr(h, n, wr, wi);
}

TEST(NumericHqr, GivingUpKeepsIsolatedRootsAndCallersEntries) {
  // The zero at (4,3) splits off the eigenvalue 5; the NaN at (1,2) keeps the 3 x 3 block above
  // it from ever converging.
  const float nan = std::nanf("");
  float wr[5] = {kUnset, 7, 8, 9, kUnset};
  float wi[5] = {kUnset, 17, 18, 19, kUnset};
  EXPECT_FALSE(RunHqr({{1, nan, 2, 1}, {1, 3, 1, 2}, {0, 1, 2, 1}, {0, 0, 0, 5}}, wr, wi));
  EXPECT_THAT(wr, testing::ElementsAre(kUnset, 7, 8, 9, 5));
  EXPECT_THAT(wi, testing::ElementsAre(kUnset, 17, 18, 19, 0));
}

TEST(NumericHqr, SubdiagonalLostInFloatRoundingSplitsTheMatrix) {
  // 1e-9 + (2 + 3) rounds to 5 in float (not in double), so 3 is split off at once and the 2 x 2
  // block above is solved in closed form. Were the test made at higher precision, QR sweeps
  // would run into the NaN and never converge.
  const float nan = std::nanf("");
  float wr[4] = {}, wi[4] = {};
  EXPECT_TRUE(RunHqr({{1, nan, 1}, {1, 2, 1}, {0, 1e-9f, 3}}, wr, wi));
  EXPECT_EQ(wr[3], 3.0f);
  EXPECT_EQ(wi[3], 0.0f);
}

TEST(NumericRoots, BadArgumentsAreRefusedAndNothingIsWritten) {
  float wr[53], wi[53];
  std::fill_n(wr, 53, kUnset);
  std::fill_n(wi, 53, kUnset);
  const std::vector<float> degree_51(52, 1.0f);
  const float zero_leading[] = {1, 2, 0.0f}, negative_zero_leading[] = {1, 2, -0.0f};
  const float zero_constant[] = {0.0f};
  const struct {
    const float* a;
    int m;
  } refused[] = {{degree_51.data(), 51},
                 {zero_leading, 2},
                 {negative_zero_leading, 2},
                 {zero_constant, 0},
                 {zero_constant, -1}};  // a[-1] is not read
  for (const auto& call : refused) {
    EXPECT_EQ(zrhqr(call.a, call.m, wr, wi), RootsStatus::kBadArguments) << "degree " << call.m;
  }
  EXPECT_TRUE(std::all_of(wr, wr + 53, [](float v) { return v == kUnset; }));
  EXPECT_TRUE(std::all_of(wi, wi + 53, [](float v) { return v == kUnset; }));
}

}  // namespace

}  // namespace sonlet
