// SPDX-License-Identifier: GPL-3.0-or-later
// The capture ring and its read, fed by a stand-in for the device: the test pushes samples
// through the same producer function the PortAudio callback uses.

#include "audio/wave_capture.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace sonlet {

namespace {

using namespace std::chrono_literals;
using Result = CaptureRing::ReadResult;

constexpr int kPerBuffer = 150;
// A wait limit far beyond anything these tests wait for: a read that runs into it has missed
// its wake-up. It is still finite, so that such a fault fails the test instead of hanging it.
constexpr auto kLong = 20s;
constexpr int kBuffers = CaptureRing::kBuffers;

// The n-th sample the device records. The period is a prime, unrelated to the ring's 30000
// samples, so a buffer taken from the wrong place cannot match by chance.
int16_t SampleAt(long n) { return static_cast<int16_t>(n % 32749); }

std::vector<int16_t> SamplesFrom(long first, int count) {
  std::vector<int16_t> samples(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) samples[static_cast<size_t>(i)] = SampleAt(first + i);
  return samples;
}

// A read whose saturation flag the test does not look at.
Result ReadIgnoringSaturation(int16_t samples[], WaveCapture* capture, int count) {
  bool saturated = false;
  return ReadWaveCapture(samples, capture, count, &saturated);
}

// A capture record whose ring is fed by the test instead of a device.
struct FedCapture {
  FedCapture() {
    EXPECT_TRUE(capture.ring.Prepare(kPerBuffer));
    capture.wait_limit = 50ms;
    capture.first_wait_limit = 50ms;
  }
  // Records the next `count` samples of the sequence.
  void Record(int count) {
    const std::vector<int16_t> samples = SamplesFrom(recorded, count);
    capture.ring.Push(samples.data(), count);
    recorded += count;
  }
  // Reads `count` samples and checks they are the next ones of the sequence, taking lost
  // samples into account with `skip`. Returns whether the read found every buffer full.
  bool ExpectNext(int count, long skip = 0) {
    std::vector<int16_t> got(static_cast<size_t>(count));
    bool saturated = false;
    EXPECT_EQ(ReadWaveCapture(got.data(), &capture, count, &saturated), Result::kOk);
    read_so_far += skip;
    EXPECT_EQ(got, SamplesFrom(read_so_far, count)) << "after sample " << read_so_far;
    read_so_far += count;
    return saturated;
  }
  WaveCapture capture;
  long recorded = 0;
  long read_so_far = 0;
};

TEST(WaveCaptureRing, SamplesComeOutInCaptureOrderWhateverTheSizes) {
  FedCapture fed;
  // Device pieces and engine reads of unrelated sizes, several times round the ring, never more
  // than the ring holds in between.
  const int pieces[] = {7, 150, 293, 1, 149, 600};
  const int reads[] = {150, 1, 299, 150, 450, 37};
  long total = 0;
  for (int turn = 0; total < 4L * kBuffers * kPerBuffer; ++turn) {
    const int piece = pieces[turn % 6];
    fed.Record(piece);
    total += piece;
    // Read while whole buffers are waiting for the size at hand.
    while ((fed.recorded / kPerBuffer) * kPerBuffer - fed.read_so_far >= reads[turn % 6])
      fed.ExpectNext(reads[turn % 6]);
  }
  EXPECT_EQ(fed.capture.ring.dropped_samples(), 0u);
}

TEST(WaveCaptureRing, ShortReadsKeepTheirPlaceAndLongReadsSpanBuffers) {
  FedCapture fed;
  fed.Record(5 * kPerBuffer);
  fed.ExpectNext(100);  // inside buffer 0
  fed.ExpectNext(100);  // the end of buffer 0 and the start of buffer 1
  fed.ExpectNext(100);  // the rest of buffer 1
  fed.ExpectNext(0);
  fed.ExpectNext(450);  // buffers 2, 3 and 4 in one read
}

TEST(WaveCaptureRing, ABufferGoesBackToTheDeviceOnlyWhenReadToItsEnd) {
  FedCapture fed;
  fed.Record(kBuffers * kPerBuffer);
  EXPECT_TRUE(fed.capture.ring.AllFull());

  fed.ExpectNext(100);  // part of buffer 0: it stays with the reader
  EXPECT_TRUE(fed.capture.ring.AllFull());
  fed.Record(kPerBuffer);  // nowhere to go: lost
  EXPECT_EQ(fed.capture.ring.dropped_samples(), static_cast<uint32_t>(kPerBuffer));

  fed.ExpectNext(50);  // buffer 0 used up and handed back
  EXPECT_FALSE(fed.capture.ring.AllFull());
  fed.Record(kPerBuffer);
  EXPECT_EQ(fed.capture.ring.dropped_samples(), static_cast<uint32_t>(kPerBuffer));

  // Buffers 1..199, then the block recorded into the returned buffer; the lost one is missing.
  fed.ExpectNext((kBuffers - 1) * kPerBuffer);
  fed.ExpectNext(kPerBuffer, kPerBuffer);
}

TEST(WaveCaptureRing, FullRingIsToldAndTheOldestSoundStillDelivered) {
  FedCapture fed;
  fed.Record((kBuffers + 1) * kPerBuffer);  // the last block is lost

  EXPECT_TRUE(fed.ExpectNext(0));           // a read of nothing still looks
  EXPECT_TRUE(fed.ExpectNext(kPerBuffer));  // block 0: nothing skipped to catch up
  // That read handed one buffer back, so the next finds room...
  EXPECT_FALSE(fed.ExpectNext(kPerBuffer));
  // ...unless the device has filled the returned buffers again by then.
  fed.Record(2 * kPerBuffer);
  EXPECT_TRUE(fed.ExpectNext(kPerBuffer));
}

TEST(WaveCaptureRing, ConcurrentDeviceKeepsTheOrder) {
  FedCapture fed;
  fed.capture.wait_limit = kLong;
  fed.capture.first_wait_limit = kLong;
  constexpr int kBlocks = 3 * kBuffers;
  std::thread device([&fed] {
    long next = 0;
    for (int block = 0; block < kBlocks; ++block) {
      while (fed.capture.ring.AllFull()) std::this_thread::yield();
      // In two pieces, so the reader also meets a half-filled buffer.
      const std::vector<int16_t> samples = SamplesFrom(next, kPerBuffer);
      fed.capture.ring.Push(samples.data(), 37);
      fed.capture.ring.Push(samples.data() + 37, kPerBuffer - 37);
      next += kPerBuffer;
      if (block % 50 == 0) std::this_thread::sleep_for(1ms);  // let the reader catch up and wait
    }
  });
  for (int block = 0; block < kBlocks; ++block) fed.ExpectNext(kPerBuffer);
  device.join();
  EXPECT_EQ(fed.capture.ring.dropped_samples(), 0u);
}

TEST(WaveCaptureRing, ReadOnAQuietStreamGivesUpAndTheNextGoesOnWhereItStopped) {
  FedCapture fed;
  fed.Record(kPerBuffer);
  std::vector<int16_t> got(2 * kPerBuffer, -1);
  EXPECT_EQ(ReadIgnoringSaturation(got.data(), &fed.capture, 2 * kPerBuffer), Result::kFailed);
  // What came is delivered; the rest of the array is left alone.
  EXPECT_EQ(std::vector<int16_t>(got.begin(), got.begin() + kPerBuffer),
            SamplesFrom(0, kPerBuffer));
  EXPECT_EQ(std::vector<int16_t>(got.begin() + kPerBuffer, got.end()),
            std::vector<int16_t>(kPerBuffer, -1));
  fed.read_so_far = kPerBuffer;

  fed.Record(kPerBuffer);
  fed.ExpectNext(kPerBuffer);
}

TEST(WaveCaptureRing, FirstBufferAfterOpeningMayTakeLongerThanTheNext) {
  FedCapture fed;
  fed.capture.first_wait_limit = kLong;
  fed.capture.wait_limit = 20ms;
  auto first = std::async(std::launch::async, [&fed] { fed.ExpectNext(kPerBuffer); });
  std::this_thread::sleep_for(100ms);  // well past the ordinary limit
  fed.Record(kPerBuffer);
  ASSERT_EQ(first.wait_for(10s), std::future_status::ready);
  first.get();
  int16_t block[kPerBuffer];
  EXPECT_EQ(ReadIgnoringSaturation(block, &fed.capture, kPerBuffer), Result::kFailed);
}

TEST(WaveCaptureRing, FailedStreamEndsTheWaitAtOnceAfterTheBufferedSound) {
  FedCapture fed;
  fed.capture.wait_limit = kLong;
  fed.capture.first_wait_limit = kLong;
  fed.Record(kPerBuffer);
  fed.capture.ring.MarkFailed();
  fed.ExpectNext(kPerBuffer);  // recorded before the failure: still delivered
  auto next = std::async(std::launch::async, [&fed] {
    int16_t block[kPerBuffer];
    return ReadIgnoringSaturation(block, &fed.capture, kPerBuffer);
  });
  ASSERT_EQ(next.wait_for(10s), std::future_status::ready) << "the read waited on a dead stream";
  EXPECT_EQ(next.get(), Result::kFailed);

  // A new stream starts clean.
  fed.capture.ring.Reset();
  fed.recorded = fed.read_so_far = 0;
  fed.Record(kPerBuffer);
  fed.ExpectNext(kPerBuffer);
}

TEST(WaveCaptureRing, StopEndsAWaitingReadAndEveryLaterWait) {
  FedCapture fed;
  fed.capture.wait_limit = kLong;
  fed.capture.first_wait_limit = kLong;
  auto waiting = std::async(std::launch::async, [&fed] {
    int16_t block[kPerBuffer];
    return ReadIgnoringSaturation(block, &fed.capture, kPerBuffer);
  });
  std::this_thread::sleep_for(20ms);
  fed.capture.ring.Interrupt();
  ASSERT_EQ(waiting.wait_for(10s), std::future_status::ready) << "the stop did not wake the read";
  EXPECT_EQ(waiting.get(), Result::kInterrupted);

  int16_t block[kPerBuffer];
  EXPECT_EQ(ReadIgnoringSaturation(block, &fed.capture, kPerBuffer), Result::kInterrupted);
  EXPECT_FALSE(fed.capture.ring.Pause(kLong));
  fed.capture.ring.Reset();  // a new stream does not forget the stop
  EXPECT_EQ(ReadIgnoringSaturation(block, &fed.capture, kPerBuffer), Result::kInterrupted);
}

}  // namespace

}  // namespace sonlet
