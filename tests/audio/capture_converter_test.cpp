// Conversion of a device's own format to the engine's 8000 Hz mono, as the capture callback does
// it, into a real capture ring.

#include "audio/capture_converter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <numbers>
#include <vector>

namespace sonlet {

namespace {

using namespace std::chrono_literals;

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

// Converts in pieces of `piece` frames, as a device callback would hand them over, and returns
// the whole buffers that came out of the ring.
std::vector<int16_t> Convert(const std::vector<float>& frames, int rate, int channels, int piece) {
  CaptureRing ring;
  EXPECT_TRUE(ring.Prepare(150));
  CaptureConverter converter;
  EXPECT_TRUE(converter.Prepare(rate, channels, 8000));
  const int total = static_cast<int>(frames.size()) / channels;
  for (int done = 0; done < total; done += piece) {
    const int count = std::min(piece, total - done);
    converter.Convert(frames.data() + static_cast<size_t>(done) * channels, count, ring);
  }
  std::vector<int16_t> out;
  int16_t block[150];
  while (ring.Read(block, 150, 1ms, 1ms) == CaptureRing::ReadResult::kOk)
    out.insert(out.end(), block, block + 150);
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

TEST(CaptureConverter, StereoAtTheCardsRateBecomesTheSameToneAt8000HzMono) {
  // 48 kHz, both channels alike, handed over 512 frames at a time (more than one chunk).
  const std::vector<int16_t> out = Convert(Tone(48000, 440.0, 0.5, {1.0, 1.0}), 48000, 2, 512);
  // One second in, one second out, less what the converter still holds back.
  EXPECT_LE(out.size(), 8000u);
  EXPECT_GE(out.size(), 7500u);
  const Measured m = Measure(out);
  EXPECT_NEAR(m.hz, 440.0, 2.0);
  EXPECT_NEAR(m.rms, RmsOfSine(0.5), RmsOfSine(0.5) * 0.02);
}

TEST(CaptureConverter, ChannelsAreAveragedAtAnUnevenRate) {
  // 44.1 kHz, the tone in the left channel only: mono at half the amplitude.
  const std::vector<int16_t> out = Convert(Tone(44100, 440.0, 0.5, {1.0, 0.0}), 44100, 2, 4096);
  const Measured m = Measure(out);
  EXPECT_NEAR(m.hz, 440.0, 2.0);
  EXPECT_NEAR(m.rms, RmsOfSine(0.25), RmsOfSine(0.25) * 0.02);
}

TEST(CaptureConverter, SoundAboveTheNewBandIsRemovedNotFoldedDown) {
  // 6 kHz cannot exist at 8000 Hz; a converter without a low-pass filter would turn it into
  // 2 kHz, right where the formants are.
  const std::vector<int16_t> out = Convert(Tone(48000, 6000.0, 0.5, {1.0}), 48000, 1, 1024);
  EXPECT_LT(Measure(out).rms, RmsOfSine(0.5) * 0.01);
}

}  // namespace

}  // namespace sonlet
