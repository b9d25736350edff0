// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "analysis/autocorrelation.h"
#include "analysis/levinson_durbin.h"
#include "analysis/median5.h"
#include "analysis/pitch.h"
#include "analysis/signal_constants.h"
#include "support/synthetic_vowel.h"

namespace sonlet {

namespace {

std::vector<float> RandomFrame(unsigned seed, float scale) {
  std::mt19937 rng(seed);
  std::normal_distribution<float> noise(0.0f, scale);
  std::vector<float> x(kFrameSamples);
  for (float& v : x) v = noise(rng);
  return x;
}

TEST(Autocorrelation, MatchesTheDefinition) {
  const std::vector<float> x = RandomFrame(1, 1000.0f);
  float r[kPitchLags];
  autocorrelation(x.data(), r, kPitchLags, kFrameSamples);
  for (int k = 0; k < kPitchLags; ++k) {
    double exact = 0.0, magnitude = 0.0;
    for (int j = 0; j + k < kFrameSamples; ++j) {
      exact += double{x[j]} * x[j + k];
      magnitude += std::fabs(double{x[j]} * x[j + k]);
    }
    EXPECT_NEAR(r[k], exact, 1e-5 * magnitude + 1e-3) << "lag " << k;
  }
}

TEST(Autocorrelation, FastPathIsBitIdenticalToThePlainLoop) {
  // Several lags run side by side in the fast path; every lag must still be summed in its own
  // order, so the floats must agree exactly, also for counts that leave a partial group.
  std::vector<std::vector<float>> frames = AnalysisFrames(SyntheticVowel(40 * kBlockSamples));
  frames.resize(20);
  for (unsigned seed = 0; seed < 20; ++seed) frames.push_back(RandomFrame(seed, 3000.0f));
  const int counts[] = {1, 9, 31, 32, 33, 64, 100, 250, 300};
  for (const std::vector<float>& x : frames) {
    for (int count : counts) {
      std::vector<float> fast(count), plain(count);
      autocorrelation(x.data(), fast.data(), count, kFrameSamples);
      autocorrelation_plain(x.data(), plain.data(), count, kFrameSamples);
      ASSERT_EQ(0, std::memcmp(fast.data(), plain.data(), count * sizeof(float)))
          << "count " << count;
    }
  }
  // Orders of summation show up as soon as the products differ widely in size.
  std::vector<float> spiky = RandomFrame(99, 1.0f);
  for (int i = 0; i < kFrameSamples; i += 37) spiky[i] = 1e6f;
  float fast[kPitchLags], plain[kPitchLags];
  autocorrelation(spiky.data(), fast, kPitchLags, kFrameSamples);
  autocorrelation_plain(spiky.data(), plain, kPitchLags, kFrameSamples);
  EXPECT_EQ(0, std::memcmp(fast, plain, sizeof fast));
}

TEST(LevinsonDurbin, GeometricAutocorrelationIsFirstOrder) {
  // r[k] = 0.5^k is the autocorrelation of a first-order process x[n] = 0.5 x[n-1] + e[n].
  float r[kLpcOrder + 1], a[kLpcOrder + 1], k[kLpcOrder];
  for (int i = 0; i <= kLpcOrder; ++i) r[i] = std::ldexp(1.0f, -i);
  levinson_durbin(r, a, k);
  EXPECT_EQ(a[0], 1.0f);
  EXPECT_FLOAT_EQ(a[1], -0.5f);
  EXPECT_FLOAT_EQ(k[0], -0.5f);
  for (int i = 2; i <= kLpcOrder; ++i) EXPECT_NEAR(a[i], 0.0f, 1e-7f) << i;
  for (int i = 1; i < kLpcOrder; ++i) EXPECT_NEAR(k[i], 0.0f, 1e-7f) << i;
}

TEST(LevinsonDurbin, ReflectionSignsAlternateForAShortMovingAverage) {
  // r = (2, 1, 0, ...) is x[n] = e[n] + e[n-1]; its reflection coefficients are
  // (-1)^i / (i + 1).
  float r[kLpcOrder + 1] = {2.0f, 1.0f};
  float a[kLpcOrder + 1], k[kLpcOrder];
  levinson_durbin(r, a, k);
  for (int i = 0; i < kLpcOrder; ++i) {
    const double expected = (i % 2 == 0 ? -1.0 : 1.0) / (i + 2);
    EXPECT_NEAR(k[i], expected, 1e-6) << i;
  }
  // The predictor whitens: the prediction error filter applied to r leaves nothing at lags
  // 1..8 (the normal equations).
  for (int lag = 1; lag <= kLpcOrder; ++lag) {
    double sum = 0.0;
    for (int j = 0; j <= kLpcOrder; ++j) sum += a[j] * r[std::abs(lag - j)];
    EXPECT_NEAR(sum, 0.0, 1e-5) << "lag " << lag;
  }
}

TEST(LevinsonDurbin, AllZeroInputGivesTheTrivialPredictor) {
  float r[kLpcOrder + 1] = {};
  float a[kLpcOrder + 1], k[kLpcOrder];
  std::fill(a, a + kLpcOrder + 1, 7.0f);
  std::fill(k, k + kLpcOrder, 7.0f);
  levinson_durbin(r, a, k);
  EXPECT_EQ(a[0], 1.0f);
  for (int i = 1; i <= kLpcOrder; ++i) EXPECT_EQ(a[i], 0.0f);
  for (int i = 0; i < kLpcOrder; ++i) EXPECT_EQ(k[i], 0.0f);
}

TEST(PitchLag, PicksTheFirstStrictMaximumInRange) {
  std::vector<float> r(kPitchLags, 0.0f);
  EXPECT_EQ(pitch_lag(r.data()), 15);  // 0 beats the starting -1 at the first lag searched

  r[14] = 100.0f;  // outside the search range
  r[40] = 5.0f;
  r[90] = 5.0f;
  EXPECT_EQ(pitch_lag(r.data()), 40);
  r[249] = 6.0f;
  EXPECT_EQ(pitch_lag(r.data()), 249);

  std::fill(r.begin(), r.end(), -2.0f);
  r[60] = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(pitch_lag(r.data()), -1);
  r[70] = -0.5f;
  EXPECT_EQ(pitch_lag(r.data()), 70);
}

TEST(PitchStep, PulseTrainsGiveTheirPeriod) {
  float frame[kFrameSamples] = {};
  for (int i = 0; i < kFrameSamples; i += 80) frame[i] = 1000.0f;
  PitchResult p = pitch_step(frame);
  EXPECT_EQ(p.lag, 80);
  EXPECT_FLOAT_EQ(p.f0, 100.0f);
  EXPECT_NEAR(p.ratio, 3.0 / 4.0, 1e-6);  // 3 of the 4 pulses have one 80 samples on

  std::fill(frame, frame + kFrameSamples, 0.0f);
  for (int i = 0; i < kFrameSamples; i += 10) frame[i] = 1000.0f;
  p = pitch_step(frame);
  EXPECT_EQ(p.lag, 20);  // lag 10 is outside the range; r falls from one multiple to the next
  EXPECT_FLOAT_EQ(p.f0, 400.0f);
}

TEST(PitchStep, SilenceIsUnvoicedAndNoPeakReadsNothingBeforeTheArray) {
  float frame[kFrameSamples] = {};
  PitchResult p = pitch_step(frame);
  EXPECT_EQ(p.lag, 15);
  EXPECT_NEAR(p.f0, 8000.0 / 15.0, 1e-3);
  EXPECT_TRUE(std::isnan(p.ratio));
  EXPECT_FALSE(p.ratio > 0.37);

  std::vector<float> r(kPitchLags, -5.0f);
  r[0] = 10.0f;
  p = pitch_from_autocorrelation(r.data());
  EXPECT_EQ(p.lag, -1);
  EXPECT_EQ(p.ratio, 0.0f);
  EXPECT_FALSE(p.ratio > 0.37);
}

TEST(Median5, SteadiesAfterTwoValuesAndIgnoresOneOutlier) {
  float history[5] = {};
  const float rising[] = {100, 200, 300, 400, 500};
  const float expected[] = {0, 0, 100, 200, 300};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(median5(rising[i], history), expected[i]) << i;
  for (int i = 0; i < 5; ++i) EXPECT_EQ(history[i], rising[i]);  // arrival order kept

  float steady[5] = {};
  for (int i = 0; i < 5; ++i) median5(300.0f, steady);
  EXPECT_EQ(median5(5000.0f, steady), 300.0f);
  EXPECT_EQ(median5(300.0f, steady), 300.0f);
  EXPECT_EQ(median5(1.0f, steady), 300.0f);
}

TEST(Median5, OutOfDomainValuesGiveADefinedResult) {
  float history[5] = {};
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (float v : {200000.0f, nan, 50.0f, 1e30f, 60.0f}) {
    const float m = median5(v, history);
    EXPECT_TRUE(m == 0.0f || m == 50.0f || m == 60.0f || m >= 100000.0f || std::isnan(m));
  }
}

}  // namespace

}  // namespace sonlet
