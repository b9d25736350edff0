// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/frame_preparation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "analysis/signal_constants.h"

namespace sonlet {

namespace {

// Feeds blocks into the intensity frame the way the engine does: the newer half moves down and
// the new block fills the top; the level is updated from the second block on.
class IntensityMeter {
 public:
  void Feed(const std::vector<float>& block) {
    for (int i = 0; i < kBlockSamples; ++i) frame_[i] = frame_[i + kBlockSamples];
    for (int i = 0; i < kBlockSamples; ++i) frame_[kBlockSamples + i] = block[i];
    frame_intensity(frame_, &level_);
  }
  void FillFirst(const std::vector<float>& block) {
    for (int i = 0; i < kBlockSamples; ++i) frame_[kBlockSamples + i] = block[i];
  }
  float level() const { return level_; }
  const float* frame() const { return frame_; }
  void SetLevel(float level) { level_ = level; }

 private:
  float frame_[kFrameSamples] = {};
  float level_ = 0.0f;
};

std::vector<float> BlockOf(double (*signal)(int), int first) {
  std::vector<float> block(kBlockSamples);
  for (int i = 0; i < kBlockSamples; ++i) block[i] = static_cast<float>(signal(first + i));
  return block;
}

double FullScaleSine(int n) {
  return std::round(32767.0 * std::sin(2 * std::numbers::pi * n / 50.0));
}
double FullScaleSquare(int n) { return (n / 25) % 2 == 0 ? 32767.0 : -32767.0; }

TEST(FrameIntensity, SteadySignalsSettleAtTheirPowerInDecibels) {
  // A sine of amplitude A has power A^2/2, a square wave A^2; the leaky sum of log10 P with
  // factor 0.9 settles at 10 log10 P. Both have a period of 50 samples, so that each frame holds
  // whole periods and the mean removal takes nothing away.
  const double sine_db = 10.0 * std::log10(32767.0 * 32767.0 / 2.0);
  const double square_db = 10.0 * std::log10(32767.0 * 32767.0);
  IntensityMeter sine, square;
  for (int b = 0; b < 400; ++b) {
    sine.Feed(BlockOf(FullScaleSine, b * kBlockSamples));
    square.Feed(BlockOf(FullScaleSquare, b * kBlockSamples));
  }
  EXPECT_NEAR(sine.level(), sine_db, 0.01);      // 87.3
  EXPECT_NEAR(square.level(), square_db, 0.01);  // 90.3
}

TEST(FrameIntensity, MeanIsRemovedBeforeThePowerIsTaken) {
  float plain[kFrameSamples], offset[kFrameSamples];
  for (int i = 0; i < kFrameSamples; ++i) {
    plain[i] = static_cast<float>(0.25 * FullScaleSine(i) + (i % 7) * 100.0);
    offset[i] = plain[i] + 3000.0f;
  }
  float plain_level = 0.0f, offset_level = 0.0f;
  frame_intensity(plain, &plain_level);
  frame_intensity(offset, &offset_level);
  EXPECT_NEAR(offset_level, plain_level, 1e-4);
  double mean = 0.0;
  for (float v : offset) mean += v;
  EXPECT_NEAR(mean / kFrameSamples, 0.0, 1e-2);
  for (int i = 0; i < kFrameSamples; ++i) EXPECT_NEAR(offset[i], plain[i], 2e-3) << i;
}

TEST(FrameIntensity, FirstLevelCoversTwoRealBlocks) {
  // The engine's first block only fills the upper half of the frame, with no level update; the
  // second block completes the frame, so a loud first block counts in the first level.
  IntensityMeter meter;
  const std::vector<float> first = BlockOf(FullScaleSquare, 0);
  meter.FillFirst(first);
  meter.Feed(std::vector<float>(kBlockSamples, 0.0f));

  double mean = 0.0;
  for (float v : first) mean += v;
  mean /= kFrameSamples;
  double power = 0.0;
  for (int i = 0; i < kFrameSamples; ++i) {
    const double v = (i < kBlockSamples ? first[i] : 0.0) - mean;
    power += v * v;
  }
  power /= kFrameSamples;
  EXPECT_NEAR(meter.level(), std::log10(power), 1e-4);
}

TEST(FrameIntensity, DigitalSilenceDecaysTheLevelInsteadOfSinkingIt) {
  IntensityMeter meter;
  meter.SetLevel(50.0f);
  const std::vector<float> silence(kBlockSamples, 0.0f);
  meter.Feed(silence);
  EXPECT_FLOAT_EQ(meter.level(), 45.0f);
  for (int b = 0; b < 300; ++b) meter.Feed(silence);
  EXPECT_TRUE(std::isfinite(meter.level()));
  EXPECT_LT(meter.level(), 1e-6f);
  // Sound after the silence is measured again.
  for (int b = 0; b < 100; ++b) meter.Feed(BlockOf(FullScaleSine, b * kBlockSamples));
  EXPECT_NEAR(meter.level(), 10.0 * std::log10(32767.0 * 32767.0 / 2.0), 0.01);
}

TEST(FrameIntensity, PowerBelowOneStepOfASampleAddsNothing) {
  // Frames with mean 0 and a hand-worked power P: alternating +-a over the first `signed_samples`
  // samples, zeros after. From a level of 10 the frame leaves 9 + log10 P, or 9 when P < 1.
  const struct {
    float a;
    int signed_samples;
    float level_after;
  } cases[] = {
      {1.0f, 150, 9.0f},      // P = 0.5: below one step of a sample, adds 0
      {1.0f, 298, 9.0f},      // P = 298 / 300, just below 1
      {1.0f, 300, 9.0f},      // P = 1: log10 1 = 0
      {2.0f, 300, 9.60206f},  // P = 4
      {100.0f, 300, 13.0f},   // P = 10^4
  };
  for (const auto& c : cases) {
    float frame[kFrameSamples] = {};
    for (int i = 0; i < c.signed_samples; ++i) frame[i] = i % 2 == 0 ? c.a : -c.a;
    float level = 10.0f;
    frame_intensity(frame, &level);
    EXPECT_NEAR(level, c.level_after, 1e-5f) << "a " << c.a << ", " << c.signed_samples;
  }
}

TEST(DcBlock, ConstantInputDecaysGeometrically) {
  std::vector<int16_t> x(kBlockSamples, 1000);
  std::vector<float> y(kBlockSamples);
  DcBlockState state;
  dc_block(x.data(), &state, y.data());
  EXPECT_EQ(y[0], 1000.0f);
  for (int n = 1; n < kBlockSamples; ++n)
    EXPECT_NEAR(y[n], 1000.0 * std::pow(0.995, n), 1e-3) << "n = " << n;
  EXPECT_EQ(state.previous_input, 1000.0f);
  EXPECT_EQ(state.previous_output, y[kBlockSamples - 1]);
}

TEST(DcBlock, StateCarriesAcrossBlocksAndPauses) {
  // Two blocks filtered in turn equal one long run of the recurrence, and a pause in between
  // (no call) changes nothing: the first output after it starts from the state left before.
  std::vector<int16_t> x(2 * kBlockSamples);
  for (size_t n = 0; n < x.size(); ++n) x[n] = static_cast<int16_t>((n * 7919) % 2001 - 1000);
  DcBlockState state;
  std::vector<float> y(2 * kBlockSamples);
  dc_block(x.data(), &state, y.data());
  const DcBlockState before_pause = state;
  dc_block(x.data() + kBlockSamples, &state, y.data() + kBlockSamples);

  double previous_input = 0.0, previous_output = 0.0;
  for (size_t n = 0; n < x.size(); ++n) {
    const double expected = x[n] - previous_input + 0.995 * previous_output;
    EXPECT_NEAR(y[n], expected, 1e-2 + 1e-5 * std::fabs(expected)) << "n = " << n;
    previous_input = x[n];
    previous_output = y[n];
  }
  EXPECT_FLOAT_EQ(y[kBlockSamples], static_cast<float>(x[kBlockSamples]) -
                                        before_pause.previous_input +
                                        0.995f * before_pause.previous_output);
}

TEST(PreEmphasis, UsesTheUnfilteredPreviousSample) {
  std::vector<float> x = {3.0f, -1.0f, 4.0f, 1.5f, -5.0f, 9.0f, 2.0f};
  const std::vector<float> original = x;
  pre_emphasis(x.data(), 0.98f, static_cast<int>(x.size()));
  EXPECT_NEAR(x[0], 0.02 * original[0], 1e-6);
  for (size_t i = 1; i < x.size(); ++i)
    EXPECT_NEAR(x[i], original[i] - 0.98 * original[i - 1], 1e-5) << "i = " << i;

  std::vector<float> constant(kFrameSamples, 250.0f);
  pre_emphasis(constant.data(), 0.98f, kFrameSamples);
  for (float v : constant) EXPECT_NEAR(v, 5.0f, 1e-4f);
}

TEST(HammingWindow, MatchesTheSymmetricWindow) {
  float w[kFrameSamples];
  hamming_window(kFrameSamples, w);
  for (int k = 0; k < kFrameSamples; ++k) {
    const double exact = 0.54 - 0.46 * std::cos(2.0 * std::numbers::pi * k / (kFrameSamples - 1));
    EXPECT_NEAR(w[k], exact, 1e-6) << "k = " << k;
    // A float angle makes the two halves agree only to within a few ulp.
    EXPECT_NEAR(w[k], w[kFrameSamples - 1 - k], 2.5e-7) << "k = " << k;
  }
  EXPECT_NEAR(w[0], 0.08f, 1e-7f);
  EXPECT_NEAR(w[149], 0.99997f, 1e-5f);
  EXPECT_NEAR(w[150], 0.99997f, 1e-5f);
  for (int k = 0; k < kFrameSamples; ++k) EXPECT_LE(w[k], w[149] + 1e-7f);

  std::vector<float> frame(kFrameSamples, 2.0f);
  apply_window(frame.data(), w, kFrameSamples);
  for (int k = 0; k < kFrameSamples; ++k) EXPECT_EQ(frame[k], 2.0f * w[k]);
}

}  // namespace

}  // namespace sonlet
