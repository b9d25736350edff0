// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/high_band_share.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/signal_constants.h"

namespace sonlet {

namespace {

TEST(HighBandShare, WeighsTheBlockAsTheFirstDifferenceDoes) {
  // A first difference passes a component at f with the gain 4 sin^2(pi f / 8000); a quarter of
  // it is a pure tone's share. The hand-worked cases are exact; a tone that does not fill the
  // block in whole periods comes within a percent. An offset (a microphone's DC) changes nothing.
  const auto tone = [](double hz, double offset) {
    return [=](int n) { return offset + 8000.0 * std::sin(2 * std::numbers::pi * hz * n / 8000); };
  };
  const struct {
    std::string what;
    std::function<double(int)> sample;
    double share;
    double within;
  } cases[] = {
      {"silence", [](int) { return 0.0; }, 0.0, 0.0},
      // 149 differences of 2A against 150 samples of A around the mean, at full scale.
      {"4000 Hz", [](int n) { return n % 2 == 0 ? 32767.0 : -32768.0; }, 149.0 / 150, 1e-7},
      // Two differences of A against A^2 (1 - 1/150) around the mean.
      {"one click", [](int n) { return n == 75 ? 12000.0 : 0.0; }, 75.0 / 149, 1e-7},
      {"500 Hz", tone(500, 0), std::pow(std::sin(std::numbers::pi / 16), 2), 0.01},
      {"2000 Hz", tone(2000, 0), 0.5, 0.01},
      {"2000 Hz on an offset of 5000", tone(2000, 5000), 0.5, 0.01},
      {"3500 Hz", tone(3500, 0), std::pow(std::sin(7 * std::numbers::pi / 16), 2), 0.01},
  };
  for (const auto& c : cases) {
    std::vector<int16_t> block(kBlockSamples);
    for (int n = 0; n < kBlockSamples; ++n)
      block[n] = static_cast<int16_t>(std::lround(c.sample(n)));
    EXPECT_NEAR(HighBandShare(block.data(), kBlockSamples), c.share, c.within) << c.what;
  }
}

}  // namespace

}  // namespace sonlet
