// SPDX-License-Identifier: GPL-3.0-or-later
// The conversion to 8000 Hz measured as a filter: sine sweeps through the band it keeps and the
// band it must remove, at the rates sound servers and files use.

#include "audio/rate_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

namespace sonlet {
namespace {

// Converts in pieces of `piece` samples and finishes.
std::vector<float> Convert(const std::vector<float>& in, int rate, int piece) {
  RateConverter converter;
  EXPECT_TRUE(converter.Prepare(rate));
  std::vector<float> out;
  std::vector<float> got(static_cast<size_t>(converter.MaxOutput(RateConverter::kMaxInput)));
  for (size_t done = 0; done < in.size(); done += static_cast<size_t>(piece)) {
    const int count = static_cast<int>(std::min<size_t>(piece, in.size() - done));
    const int n = converter.Process(in.data() + done, count, got.data());
    out.insert(out.end(), got.begin(), got.begin() + n);
  }
  const int n = converter.Finish(got.data());
  out.insert(out.end(), got.begin(), got.begin() + n);
  return out;
}

std::vector<float> Tone(int rate, double hz, double seconds) {
  std::vector<float> tone(static_cast<size_t>(rate * seconds));
  for (size_t i = 0; i < tone.size(); ++i) {
    const double t = static_cast<double>(i) / rate;
    tone[i] = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * hz * t));
  }
  return tone;
}

// The level of the middle of the output against the input's amplitude 0.5, in dB.
double GainDb(const std::vector<float>& out) {
  double sum = 0.0;
  const size_t from = out.size() / 4, to = out.size() * 3 / 4;
  for (size_t i = from; i < to; ++i) sum += static_cast<double>(out[i]) * out[i];
  const double amplitude = std::sqrt(2.0 * sum / static_cast<double>(to - from));
  return 20.0 * std::log10(amplitude / 0.5);
}

TEST(RateConverter, SineSweepsStayFlatTo3600HzAndVanishFrom4000Hz) {
  for (int rate : {48000, 44100, 96000, 32000, 22050, 16000}) {
    SCOPED_TRACE(std::to_string(rate) + " Hz");
    for (double hz : {100.0, 300.0, 1000.0, 2000.0, 2900.0, 3300.0, 3600.0}) {
      const std::vector<float> out = Convert(Tone(rate, hz, 1.0), rate, 900);
      EXPECT_NEAR(GainDb(out), 0.0, 0.1) << hz << " Hz";
    }
    // Above 4 kHz a tone cannot be held at 8000 Hz; let through, it would fold back into the
    // band, where the formants are.
    for (double hz : {4000.0, 4100.0, 5000.0, 7000.0, 10000.0, 15000.0}) {
      if (hz >= rate / 2.0) continue;
      const std::vector<float> out = Convert(Tone(rate, hz, 1.0), rate, 900);
      EXPECT_LT(GainDb(out), -70.0) << hz << " Hz";
    }
  }
}

TEST(RateConverter, OutputLinesUpWithTheInputAndComesWithinHalfAFilterOfIt) {
  // An impulse 0.3 s in, at 48 kHz: the output's peak is the sample for the same moment.
  std::vector<float> impulse(48000, 0.0f);
  impulse[14400] = 1.0f;
  const std::vector<float> out = Convert(impulse, 48000, 1024);
  EXPECT_EQ(out.size(), 8000u);
  size_t peak = 0;
  for (size_t i = 0; i < out.size(); ++i) {
    if (std::fabs(out[i]) > std::fabs(out[peak])) peak = i;
  }
  EXPECT_EQ(peak, 2400u);

  // Fed one input sample at a time, the output for a moment comes at most 7 ms of input later.
  RateConverter converter;
  ASSERT_TRUE(converter.Prepare(44100));
  std::vector<float> got(static_cast<size_t>(converter.MaxOutput(1)));
  int64_t outputs = 0;
  for (int64_t i = 0; i < 44100; ++i) {
    const float sample = 0.0f;
    outputs += converter.Process(&sample, 1, got.data());
    // Output n stands for input position n * 44100 / 8000.
    const double newest_moment = static_cast<double>(outputs) * 44100 / 8000;
    EXPECT_GT(newest_moment, static_cast<double>(i) - 0.007 * 44100) << i;
  }
}

TEST(RateConverter, PiecesOfAnySizeGiveTheSameOutput) {
  const std::vector<float> tone = Tone(44100, 523.0, 0.5);
  const std::vector<float> whole = Convert(tone, 44100, 1024);
  EXPECT_EQ(whole.size(), (tone.size() * 8000 + 44099) / 44100);
  for (int piece : {1, 137, 900}) EXPECT_EQ(Convert(tone, 44100, piece), whole) << piece;
}

}  // namespace
}  // namespace sonlet
