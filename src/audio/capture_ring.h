// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

namespace sonlet {

// The 200 recording buffers between the sound device and the engine: a first-in first-out ring
// with one producer (the device's callback) and one consumer (the engine's thread).
//
// The device fills the buffers in order; a buffer counts as full once it holds a whole block,
// and goes back to the device only when the engine has read all of it. When every buffer is
// full, the device has nowhere to record: what it hears then is lost, and the engine later gets
// the oldest buffered sound first, so nothing is skipped to catch up.
//
// The producer side never allocates, locks or blocks, so it can run in an audio callback: the
// two sides share only atomic counters, and a waiting reader is woken through a futex.
class CaptureRing {
 public:
  static constexpr int kBuffers = 200;

  enum class ReadResult {
    kOk,           // all samples delivered
    kFailed,       // the stream failed or went quiet for longer than the wait limit
    kInterrupted,  // a stop was asked for
  };

  CaptureRing();
  ~CaptureRing();
  CaptureRing(const CaptureRing&) = delete;
  CaptureRing& operator=(const CaptureRing&) = delete;

  // Allocates the buffers of samples_per_buffer samples each (the only allocation) and empties
  // the ring. Returns false when the memory cannot be had. Call only while no producer runs.
  bool Prepare(int samples_per_buffer);

  // Empties the ring and clears a failure, for a new stream. A stop request stays. Call only while
  // no producer runs.
  void Reset();

  int samples_per_buffer() const { return samples_per_buffer_; }

  // --- Producer side: the device's callback, or a test standing in for it. ---

  // Records samples[0..count-1] into the buffers in order. What does not fit because every
  // buffer is full is dropped.
  void Push(const int16_t samples[], int count);

  // The stream has stopped or failed: a waiting read returns kFailed at once.
  void MarkFailed();

  // --- Consumer side: the engine's thread. ---

  // True when all the buffers are full: the device has had none to record into.
  bool AllFull() const;

  // The samples a read can take now without waiting.
  int Available() const;

  // Blocks until count samples have been copied to samples[0..count-1] in capture order. It
  // waits for each buffer at most wait_limit, or first_wait_limit while no buffer has been filled
  // since the last reset (a device may take a while to deliver its first block). On kFailed or
  // kInterrupted the samples copied so far stay in the array and the rest is untouched; the
  // next read goes on from where this one stopped.
  ReadResult Read(int16_t samples[], int count, std::chrono::milliseconds wait_limit,
                  std::chrono::milliseconds first_wait_limit);

  // Sleeps for `duration` unless a stop is asked for; returns false when it was.
  bool Pause(std::chrono::milliseconds duration);

  // --- Any thread. ---

  // Asks for a stop: a waiting read or pause returns at once, and so do all later ones that
  // would wait. It stays asked for the life of the ring.
  void Interrupt();
  bool interrupted() const { return interrupted_.load(); }

  // Samples lost because every buffer was full, since the last reset.
  uint32_t dropped_samples() const { return dropped_samples_.load(std::memory_order_relaxed); }

 private:
  // Waits until events_ differs from `seen` or the deadline passes.
  void WaitForEvent(uint32_t seen, std::chrono::steady_clock::time_point deadline);
  void SignalEvent();

  std::unique_ptr<int16_t[]> samples_;  // kBuffers buffers, one after the other
  int samples_per_buffer_ = 0;

  // Buffers filled and buffers handed back, counted since the reset; their difference is the
  // number of full buffers. Unsigned, so the counts may wrap.
  std::atomic<uint32_t> filled_{0};
  std::atomic<uint32_t> returned_{0};
  // Changes whenever a reader might want to wake: a buffer filled, a failure, a stop.
  std::atomic<uint32_t> events_{0};
  std::atomic<uint32_t> reader_waiting_{0};
  std::atomic<bool> failed_{false};
  std::atomic<bool> interrupted_{false};
  std::atomic<uint32_t> dropped_samples_{0};

  // The producer's: the buffer being filled (0..kBuffers-1) and the samples already in it.
  int fill_index_ = 0;
  int fill_position_ = 0;
  // The consumer's: the oldest full buffer (0..kBuffers-1), the samples already taken from it,
  // and whether any buffer has been filled since the reset.
  int ring_index_ = 0;
  int read_position_ = 0;
  bool first_block_seen_ = false;
};

}  // namespace sonlet
