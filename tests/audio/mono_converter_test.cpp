// SPDX-License-Identifier: GPL-3.0-or-later
// Conversion of a device's or a file's own format to the engine's 8000 Hz mono, handed over in
// pieces as a capture callback or a file reader does it.

#include "audio/mono_converter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <span>
#include <string>
#include <vector>

namespace sonlet {

namespace {

// A tone of `hz` at `rate` for one second, interleaved over `channels`, each channel scaled by
// its gain.
std::vector<float> Tone(int rate, double hz, double amplitude, const std::vector<double>& gains) {
  const size_t channels = gains.size();
  std::vector<float> frames(static_cast<size_t>(rate) * channels);
  for (int i = 0; i < rate; ++i) {
    const double v = amplitude * std::sin(2 * std::numbers::pi * hz * i / rate);
    for (size_t c = 0; c < channels; ++c)
      frames[static_cast<size_t>(i) * channels + c] = static_cast<float>(v * gains[c]);
  }
  return frames;
}

// Converts in pieces of `piece` frames (at most kMaxFrames), as a device callback would hand them
// over, and returns all that came out.
std::vector<int16_t> Convert(const std::vector<float>& frames, int rate, int channels, int piece) {
  MonoConverter converter;
  EXPECT_TRUE(converter.Prepare(rate, channels));
  std::vector<int16_t> out;
  const int total = static_cast<int>(frames.size()) / channels;
  for (int done = 0; done < total; done += piece) {
    const int count = std::min(piece, total - done);
    const std::span<const int16_t> got =
        converter.Convert(frames.data() + static_cast<size_t>(done) * channels, count);
    out.insert(out.end(), got.begin(), got.end());
  }
  return out;
}

// Level and pitch of the middle of a converted tone, away from the converter's start-up.
struct Measured {
  double rms;
  double hz;
};
Measured Measure(const std::vector<int16_t>& samples) {
  const size_t from = 1000, to = samples.size() - 1000;
  double sum = 0;
  int rises = 0;
  size_t first_rise = 0, last_rise = 0;
  for (size_t i = from; i < to; ++i) {
    sum += static_cast<double>(samples[i]) * samples[i];
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      if (rises == 0) first_rise = i;
      last_rise = i;
      ++rises;
    }
  }
  const double rms = std::sqrt(sum / static_cast<double>(to - from));
  const double hz =
      rises > 1 ? (rises - 1) * 8000.0 / static_cast<double>(last_rise - first_rise) : 0.0;
  return {rms, hz};
}

// A full-scale sine has an RMS of 32768 / sqrt(2) in 16-bit samples.
double RmsOfSine(double amplitude) { return amplitude * 32768.0 / std::numbers::sqrt2; }

TEST(MonoConverter, StereoAtTheCardsRateBecomesTheSameToneAt8000HzMono) {
  // 48 kHz, both channels alike, handed over 512 frames at a time.
  const std::vector<int16_t> out = Convert(Tone(48000, 440.0, 0.5, {1.0, 1.0}), 48000, 2, 512);
  // One second in, one second out, less what the converter still holds back.
  EXPECT_LE(out.size(), 8000u);
  EXPECT_GE(out.size(), 7500u);
  const Measured m = Measure(out);
  EXPECT_NEAR(m.hz, 440.0, 2.0);
  EXPECT_NEAR(m.rms, RmsOfSine(0.5), RmsOfSine(0.5) * 0.02);
}

TEST(MonoConverter, ChannelsAreAveragedAtAnyRate) {
  // The tone in the first channel only: mono at that amplitude over the number of channels.
  const struct {
    int rate;
    int channels;
  } cases[] = {{44100, 2}, {48000, 3}, {8000, 4}, {16000, 6}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channels at " + std::to_string(c.rate) + " Hz");
    std::vector<double> gains(static_cast<size_t>(c.channels), 0.0);
    gains[0] = 1.0;
    const std::vector<int16_t> out =
        Convert(Tone(c.rate, 440.0, 0.5, gains), c.rate, c.channels, MonoConverter::kMaxFrames);
    const Measured m = Measure(out);
    EXPECT_NEAR(m.hz, 440.0, 2.0);
    const double expected = RmsOfSine(0.5 / c.channels);
    EXPECT_NEAR(m.rms, expected, expected * 0.02);
  }
}

TEST(MonoConverter, AtTheEnginesRateSamplesPassRoundedToTheNearest16BitValue) {
  // Nothing to resample: each value comes back as the nearest 16-bit sample, clipped.
  const std::vector<float> values = {0.0f,         1.0f / 32768,  -1.0f / 32768,
                                     0.6f / 32768, -1.4f / 32768, 2.5f / 32768,
                                     1.0f,         -1.0f,         2.0f};
  MonoConverter converter;
  ASSERT_TRUE(converter.Prepare(8000, 1));
  const std::span<const int16_t> got =
      converter.Convert(values.data(), static_cast<int>(values.size()));
  EXPECT_EQ(std::vector<int16_t>(got.begin(), got.end()),
            (std::vector<int16_t>{0, 1, -1, 1, -1, 2, 32767, -32768, 32767}));
  EXPECT_TRUE(converter.Finish().empty());
}

TEST(MonoConverter, SoundAboveTheNewBandIsRemovedNotFoldedDown) {
  // 6 kHz cannot exist at 8000 Hz; a converter without a low-pass filter would turn it into
  // 2 kHz, right where the formants are.
  const std::vector<int16_t> out = Convert(Tone(48000, 6000.0, 0.5, {1.0}), 48000, 1, 1024);
  EXPECT_LT(Measure(out).rms, RmsOfSine(0.5) * 0.01);
}

}  // namespace

}  // namespace sonlet
