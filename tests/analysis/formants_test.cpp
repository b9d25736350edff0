// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/formants.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <limits>
#include <numbers>
#include <vector>

#include "analysis/signal_constants.h"

namespace sonlet {

namespace {

// Indices the lifter zeroed, as the first and last of one run (-1, -1 when none).
std::pair<int, int> ZeroedRun(float lag) {
  std::vector<float> ceps(kFftLength, 1.0f);
  lifter(ceps.data(), lag);
  int first = -1, last = -1;
  for (int n = 0; n < kFftLength; ++n) {
    if (ceps[n] == 0.0f) {
      if (first < 0) first = n;
      EXPECT_TRUE(last < 0 || last == n - 1) << "zeroed indices not contiguous at " << n;
      last = n;
    }
  }
  return {first, last};
}

TEST(Lifter, CutGrowsWithThePitchLagAndIsAsymmetric) {
  // The cut is 0.22 T ln T: 8.94 for T = 15, 77.12 for 80, 233.13 for 200, 302.25 for 249.
  EXPECT_EQ(ZeroedRun(15.0f), std::make_pair(8, 503));
  EXPECT_EQ(ZeroedRun(80.0f), std::make_pair(77, 434));
  EXPECT_EQ(ZeroedRun(200.0f), std::make_pair(233, 278));
  EXPECT_EQ(ZeroedRun(249.0f), std::make_pair(-1, -1));
  // No pitch peak: the cepstrum stays whole.
  EXPECT_EQ(ZeroedRun(-1.0f), std::make_pair(-1, -1));
}

struct Root {
  float re, im;
};

struct Converted {
  float freq[kFormantRoots + 1], angle[kFormantRoots + 1], radius[kFormantRoots + 1],
      acc[kFormantRoots + 1];
};

Converted Convert(const std::vector<Root>& roots) {
  float wr[kFormantRoots + 1] = {}, wi[kFormantRoots + 1] = {};
  for (size_t i = 0; i < roots.size(); ++i) {
    wr[i + 1] = roots[i].re;
    wi[i + 1] = roots[i].im;
  }
  Converted c{};
  c.acc[0] = -7.0f;
  roots_to_formants(wi, wr, c.freq, c.angle, c.radius, c.acc);
  return c;
}

TEST(RootsToFormants, AcceptsPositiveAnglesOfLargeEnoughRadius) {
  const float quarter = static_cast<float>(0.9 * std::cos(std::numbers::pi / 4));
  const float small = static_cast<float>(0.7 * std::cos(std::numbers::pi / 4));
  const Converted c = Convert({{quarter, quarter},
                               {small, small},
                               {quarter, -quarter},
                               {-0.9f, 0.0f},
                               {0.9f, 0.0f},
                               {0.0f, 0.8f},
                               {0.0f, 0.79f},
                               {0.0f, 0.0f}});
  EXPECT_NEAR(c.angle[1], std::numbers::pi / 4, 1e-6);
  EXPECT_NEAR(c.radius[1], 0.9, 1e-6);
  EXPECT_NEAR(c.freq[1], 1000.0, 1e-3);
  EXPECT_EQ(c.acc[1], c.freq[1]);
  EXPECT_NEAR(c.freq[2], 1000.0, 1e-3);  // same angle, but a pole radius above 1.25
  EXPECT_EQ(c.acc[2], 0.0f);
  EXPECT_NEAR(c.freq[3], -1000.0, 1e-3);  // the conjugate is never a formant
  EXPECT_EQ(c.acc[3], 0.0f);
  EXPECT_NEAR(c.acc[4], 4000.0, 1e-3);  // a negative real root sits at the Nyquist frequency
  EXPECT_EQ(c.acc[5], 0.0f);            // a positive real root at 0 Hz is no formant
  EXPECT_NEAR(c.acc[6], 2000.0, 1e-3);  // radius exactly at the limit is kept
  EXPECT_EQ(c.acc[7], 0.0f);
  EXPECT_EQ(c.acc[8], 0.0f);   // an unfilled root (radius 0) is rejected
  EXPECT_EQ(c.acc[0], -7.0f);  // index 0 is not the routine's
}

TEST(FormantCandidates, ListAcceptedRootsFromTheLargestRealPartDown) {
  float acc[kFormantRoots + 1] = {};
  acc[2] = 2400.0f;
  acc[5] = 1400.0f;
  acc[7] = 600.0f;
  float candidates[kFormantRoots];
  for (float& c : candidates) c = -1.0f;
  formant_candidates(acc, candidates);
  EXPECT_EQ(candidates[0], 600.0f);
  EXPECT_EQ(candidates[1], 1400.0f);
  EXPECT_EQ(candidates[2], 2400.0f);
  for (int i = 3; i < kFormantRoots; ++i) EXPECT_EQ(candidates[i], 0.0f);

  float none[kFormantRoots + 1] = {};
  formant_candidates(none, candidates);
  for (float c : candidates) EXPECT_EQ(c, 0.0f);
}

TEST(FormantMedians, MissingCandidatesEnterTheHistoryAsZero) {
  float h1[5] = {}, h2[5] = {};
  float f1 = -1.0f, f2 = -1.0f;
  for (int i = 0; i < 3; ++i) formant_medians(700.0f, 1200.0f, h1, h2, &f1, &f2);
  EXPECT_EQ(f1, 700.0f);
  EXPECT_EQ(f2, 1200.0f);
  for (int i = 0; i < 3; ++i) formant_medians(700.0f, 0.0f, h1, h2, &f1, &f2);
  EXPECT_EQ(f1, 700.0f);
  EXPECT_EQ(f2, 0.0f);
  EXPECT_EQ(h2[4], 0.0f);
}

// Coefficients a[0..8] of prod (z - p)(z - conj p) over four poles.
std::vector<float> PolynomialFromPairs(const std::vector<std::complex<double>>& poles) {
  std::vector<std::complex<double>> c = {1.0};
  for (const auto& p : poles) {
    for (const auto& root : {p, std::conj(p)}) {
      std::vector<std::complex<double>> next(c.size() + 1, 0.0);
      for (size_t i = 0; i < c.size(); ++i) {
        next[i + 1] += c[i];
        next[i] -= root * c[i];
      }
      c = next;
    }
  }
  std::vector<float> a(c.size());
  for (size_t i = 0; i < c.size(); ++i) a[i] = static_cast<float>(c[i].real());
  return a;
}

TEST(PredictorRoots, FindsRootsAndSkipsPolynomialsWithoutThem) {
  float wr[kFormantRoots + 1] = {}, wi[kFormantRoots + 1] = {};  // [0] is never written
  const std::vector<std::complex<double>> poles = {std::polar(1.05, 0.4), std::polar(1.1, 1.2),
                                                   std::polar(1.15, 2.0), std::polar(1.2, 2.8)};
  std::vector<float> a = PolynomialFromPairs(poles);
  ASSERT_EQ(predictor_roots(a.data(), wr, wi), RootsStatus::kFound);
  for (int i = 2; i <= kFormantRoots; ++i) EXPECT_LE(wr[i - 1], wr[i]);
  for (const auto& p : poles) {
    for (const auto& root : {p, std::conj(p)}) {
      double nearest = 1e9;
      for (int i = 1; i <= kFormantRoots; ++i)
        nearest = std::min(nearest, std::abs(std::complex<double>(wr[i], wi[i]) - root));
      EXPECT_LT(nearest, 1e-3) << root;
    }
  }

  // A leading coefficient of 0 or one that makes the companion matrix overflow: the previous
  // roots stay and the program goes on.
  float kept_wr[kFormantRoots + 1], kept_wi[kFormantRoots + 1];
  std::copy(wr, wr + kFormantRoots + 1, kept_wr);
  std::copy(wi, wi + kFormantRoots + 1, kept_wi);
  for (float leading : {0.0f, -0.0f, 1e-40f, -1e-39f}) {
    std::vector<float> degenerate = a;
    degenerate[kLpcOrder] = leading;
    EXPECT_EQ(predictor_roots(degenerate.data(), wr, wi), RootsStatus::kBadArguments) << leading;
    for (int i = 0; i <= kFormantRoots; ++i) {
      EXPECT_EQ(wr[i], kept_wr[i]);
      EXPECT_EQ(wi[i], kept_wi[i]);
    }
  }
}

}  // namespace

}  // namespace sonlet
