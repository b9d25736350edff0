// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/paced_source.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "analysis/signal_constants.h"
#include "support/memory_source.h"

namespace sonlet {

namespace {

std::vector<int16_t> Ramp(int count) {
  std::vector<int16_t> samples(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) samples[static_cast<size_t>(i)] = static_cast<int16_t>(i);
  return samples;
}

TEST(PacedSource, HandsOnTheSamplesNoSoonerThanTheyWouldBeCaptured) {
  constexpr int kBlocks = 8;
  const std::vector<int16_t> samples = Ramp(kBlocks * kBlockSamples);
  PacedSource paced(std::make_unique<MemorySource>(samples));

  const auto start = std::chrono::steady_clock::now();
  std::vector<int16_t> got;
  int16_t block[kBlockSamples];
  while (paced.Read(block, kBlockSamples) == AudioSource::Status::kOk) {
    got.insert(got.end(), block, block + kBlockSamples);
  }
  const auto elapsed = std::chrono::steady_clock::now() - start;

  EXPECT_EQ(got, samples);
  // The samples last kBlocks * 18.75 ms at 8000 per second; a sleep never ends early.
  EXPECT_GE(elapsed,
            std::chrono::microseconds(int64_t{kBlocks} * kBlockSamples * 1'000'000 / kSampleRate));
}

TEST(PacedSource, InterruptEndsAWaitingReadAndEveryLaterOne) {
  // Ten minutes of sound: a read that ignored the interrupt would outlast the test's timeout.
  PacedSource paced(std::make_unique<MemorySource>(Ramp(10 * 60 * kSampleRate)));
  std::atomic<bool> reading{false};
  AudioSource::Status status = AudioSource::Status::kOk;
  std::thread reader([&] {
    std::vector<int16_t> all(static_cast<size_t>(10 * 60 * kSampleRate));
    reading = true;
    status = paced.Read(all.data(), static_cast<int>(all.size()));
  });
  while (!reading) std::this_thread::yield();
  paced.Interrupt();
  reader.join();
  EXPECT_EQ(status, AudioSource::Status::kEnded);

  int16_t block[kBlockSamples];
  EXPECT_EQ(paced.Read(block, kBlockSamples), AudioSource::Status::kEnded);
}

}  // namespace

}  // namespace sonlet
