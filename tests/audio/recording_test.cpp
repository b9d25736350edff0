// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/recording.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "audio/recording_source.h"

namespace sonlet {

namespace {

namespace fs = std::filesystem;

// Writes `seconds` of a sine of `hz` at `rate` with `channels` (the second channel inverted,
// so a wrong mix-down would cancel it) as 16-bit WAV.
std::string WriteSine(const std::string& name, int rate, int channels, double hz, double seconds,
                      double amplitude) {
  const std::string path = (fs::temp_directory_path() / name).string();
  SF_INFO info{};
  info.samplerate = rate;
  info.channels = channels;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(file, nullptr);
  const int frames = static_cast<int>(seconds * rate);
  std::vector<short> data(static_cast<size_t>(frames) * channels);
  for (int i = 0; i < frames; ++i) {
    const double v = amplitude * std::sin(2 * std::numbers::pi * hz * i / rate);
    for (int c = 0; c < channels; ++c)
      data[static_cast<size_t>(i) * channels + c] =
          static_cast<short>(std::lround(c == 1 ? v * 0.5 : v));
  }
  sf_writef_short(file, data.data(), frames);
  sf_close(file);
  return path;
}

TEST(Recording, EngineFormatIsReadAsItIs) {
  const std::string path = WriteSine("sonlet-8k.wav", 8000, 1, 440.0, 0.5, 12000.0);
  std::vector<int16_t> samples;
  std::string error;
  ASSERT_TRUE(LoadRecording(path, &samples, &error)) << error;
  ASSERT_EQ(samples.size(), 4000u);
  for (int i = 0; i < 4000; ++i)
    ASSERT_EQ(samples[i], std::lround(12000.0 * std::sin(2 * std::numbers::pi * 440.0 * i / 8000)));
  fs::remove(path);
}

TEST(Recording, OtherRatesAndChannelsAreMixedAndConverted) {
  // 44.1 kHz stereo, 1 s of 440 Hz: 8000 mono samples of the same tone, at the mean amplitude
  // of the two channels.
  const std::string path = WriteSine("sonlet-44k.wav", 44100, 2, 440.0, 1.0, 16000.0);
  std::vector<int16_t> samples;
  std::string error;
  ASSERT_TRUE(LoadRecording(path, &samples, &error)) << error;
  EXPECT_NEAR(static_cast<double>(samples.size()), 8000.0, 10.0);
  int crossings = 0;
  double energy = 0.0;
  for (size_t i = 1000; i < 7000; ++i) {
    crossings += (samples[i - 1] < 0) != (samples[i] < 0);
    energy += static_cast<double>(samples[i]) * samples[i];
  }
  EXPECT_NEAR(crossings, 2 * 440 * 6000 / 8000, 2);
  EXPECT_NEAR(std::sqrt(energy / 6000), 0.75 * 16000 / std::numbers::sqrt2, 100.0);
  fs::remove(path);
}

TEST(Recording, SourceDeliversWholeBlocksAndDropsTheRest) {
  const std::string path = WriteSine("sonlet-blocks.wav", 8000, 1, 200.0, 0.1, 1000.0);  // 800
  RecordingSource source;
  std::string error;
  ASSERT_TRUE(source.Open(path, &error)) << error;
  std::vector<int16_t> all;
  LoadRecording(path, &all, &error);
  int16_t block[150];
  for (int b = 0; b < 5; ++b) {
    ASSERT_EQ(source.Read(block, 150), AudioSource::Status::kOk);
    for (int i = 0; i < 150; ++i) ASSERT_EQ(block[i], all[b * 150 + i]);
  }
  EXPECT_EQ(source.Read(block, 150), AudioSource::Status::kEnded);  // 50 samples left over
  EXPECT_EQ(source.Read(block, 150), AudioSource::Status::kEnded);
  fs::remove(path);
}

TEST(Recording, MissingOrSoundlessFilesAreRefusedWithAMessage) {
  std::vector<int16_t> samples;
  std::string error;
  EXPECT_FALSE(LoadRecording("/nonexistent/voice.wav", &samples, &error));
  EXPECT_NE(error.find("/nonexistent/voice.wav"), std::string::npos);
  const std::string empty = WriteSine("sonlet-empty.wav", 8000, 1, 440.0, 0.0, 1.0);
  error.clear();
  EXPECT_FALSE(LoadRecording(empty, &samples, &error));
  EXPECT_NE(error.find("no sound"), std::string::npos) << error;
  fs::remove(empty);
}

}  // namespace

}  // namespace sonlet
