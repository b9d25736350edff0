// SPDX-License-Identifier: GPL-3.0-or-later
// Capture from a real device: the test sound server's default input, with a tone played into it.

#include <gtest/gtest.h>
#include <portaudio.h>
#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <numbers>
#include <thread>
#include <vector>

#include "audio/capture_source.h"
#include "audio/wave_capture.h"
#include "support/test_sound_server.h"

namespace sonlet {

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// One second of `hz` at half of full scale, 8000 Hz mono, as a WAV file.
std::string WriteTone(double hz) {
  const std::string path = (fs::temp_directory_path() / "sonlet-live-tone.wav").string();
  SF_INFO info{};
  info.samplerate = 8000;
  info.channels = 1;
  info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  EXPECT_NE(file, nullptr);
  std::vector<short> samples(8000);
  for (int i = 0; i < 8000; ++i)
    samples[static_cast<size_t>(i)] =
        static_cast<short>(std::lround(16384.0 * std::sin(2 * std::numbers::pi * hz * i / 8000)));
  sf_write_short(file, samples.data(), 8000);
  sf_close(file);
  return path;
}

double Rms(const int16_t* samples, int count) {
  double sum = 0;
  for (int i = 0; i < count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return std::sqrt(sum / count);
}

TEST(LiveCapture, DefaultInputDeliversWhatIsPlayedAtItsLevelAndPitch) {
  const std::string missing = SoundServerMissing();
  if (!missing.empty()) GTEST_SKIP() << missing;

  WaveCapture capture;
  const WaveCaptureOpenStatus status = OpenWaveCapture(&capture, 150, 8000);
  ASSERT_TRUE(status.ok()) << status.detail;
  EXPECT_EQ(capture.device_name, "default");
  EXPECT_TRUE(capture.converting);  // at the device's own rate, converted here

  const std::string tone = WriteTone(440.0);
  auto played = std::async(std::launch::async, [&tone] { return PlaySound(tone); });
  // Read for as long as the tone plays and a little more: blocks go on coming, and the loud ones
  // hold the tone.
  std::vector<int16_t> loud;
  int blocks = 0;
  const auto end = std::chrono::steady_clock::now() + 3s;
  while (std::chrono::steady_clock::now() < end) {
    int16_t block[150];
    bool saturated = false;
    ASSERT_EQ(ReadWaveCapture(block, &capture, 150, &saturated), CaptureRing::ReadResult::kOk);
    EXPECT_FALSE(saturated);
    ++blocks;
    if (Rms(block, 150) > 1000) loud.insert(loud.end(), block, block + 150);
  }
  EXPECT_TRUE(played.get());
  CloseWaveCapture(&capture);
  fs::remove(tone);

  EXPECT_GT(blocks, 100);  // 3 s of 18.75 ms blocks is 160
  // The tone lasts 53 blocks; its first and last may be cut.
  ASSERT_GE(loud.size(), 50u * 150);
  ASSERT_LE(loud.size(), 55u * 150);
  // Inside, away from the fades: half of full scale is an RMS of 16384 / sqrt(2); a rising
  // zero crossing per period. The tone plays on both channels of the sink, which the server
  // mixes down to the one asked for: PulseAudio takes their mean, PipeWire keeps their power
  // (3 dB more).
  const char* server = std::getenv("SONLET_SOUND_SERVER");
  const double mixed = server != nullptr && std::string(server) == "pipewire" ? 1.0 : 0.5;
  const int from = 1500, to = static_cast<int>(loud.size()) - 1500;
  EXPECT_NEAR(Rms(loud.data() + from, to - from), 16384.0 * std::sqrt(mixed), 16384.0 * 0.05);
  int rises = 0, first = 0, last = 0;
  for (int i = from; i < to; ++i) {
    if (loud[static_cast<size_t>(i) - 1] < 0 && loud[static_cast<size_t>(i)] >= 0) {
      if (rises++ == 0) first = i;
      last = i;
    }
  }
  EXPECT_NEAR((rises - 1) * 8000.0 / (last - first), 440.0, 3.0);
}

TEST(LiveCapture, DeviceIsFoundByPartOfItsNameInAnyCase) {
  const std::string missing = SoundServerMissing();
  if (!missing.empty()) GTEST_SKIP() << missing;
  WaveCapture capture;
  const WaveCaptureOpenStatus status = OpenWaveCapture(&capture, 150, 8000, "PuLs");
  ASSERT_TRUE(status.ok()) << status.detail;
  EXPECT_EQ(capture.device_name, "pulse");
  int16_t block[150];
  bool saturated = false;
  EXPECT_EQ(ReadWaveCapture(block, &capture, 150, &saturated), CaptureRing::ReadResult::kOk);
}

// Needs no sound server: the device asked for exists nowhere.
TEST(CaptureSourceWithoutDevice, ReadsFailInBoundedTimeAndAStopEndsTheWait) {
  CaptureSource source("no-such-microphone-anywhere");
  const WaveCaptureOpenStatus status = source.Open();
  ASSERT_FALSE(status.ok());
  EXPECT_EQ(status.step, WaveCaptureOpenStatus::Step::kOpenDevice);
  EXPECT_TRUE(status.error == paInvalidDevice || status.error == paDeviceUnavailable)
      << status.error;

  // Each read waits for the next attempt to reopen (at most a second), tries, and gives up with
  // silence; the guard is far above that.
  int16_t block[150];
  for (int i = 0; i < 2; ++i) {
    std::fill_n(block, 150, int16_t{7});
    auto read = std::async(std::launch::async, [&] { return source.Read(block, 150); });
    ASSERT_EQ(read.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(read.get(), AudioSource::Status::kFailed);
    EXPECT_EQ(std::count(block, block + 150, 0), 150);
  }

  auto waiting = std::async(std::launch::async, [&] { return source.Read(block, 150); });
  std::this_thread::sleep_for(100ms);
  source.Interrupt();
  ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(waiting.get(), AudioSource::Status::kEnded);
  EXPECT_EQ(source.Read(block, 150), AudioSource::Status::kEnded);
}

}  // namespace

}  // namespace sonlet
