// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/capture_ring.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <new>

namespace sonlet {

namespace {

using Clock = std::chrono::steady_clock;

// The futex calls take the address of the counter itself.
static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
static_assert(std::atomic<uint32_t>::is_always_lock_free);

// Sleeps while *word still holds `expected`, at most `timeout`. Returns early on a wake-up, a
// change of the word or a signal; the caller looks again either way.
void FutexWait(std::atomic<uint32_t>* word, uint32_t expected, Clock::duration timeout) {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout).count();
  timespec relative{};
  relative.tv_sec = static_cast<time_t>(ns / 1000000000);
  relative.tv_nsec = static_cast<long>(ns % 1000000000);
  syscall(SYS_futex, word, FUTEX_WAIT_PRIVATE, expected, &relative, nullptr, 0);
}

void FutexWake(std::atomic<uint32_t>* word) {
  syscall(SYS_futex, word, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

}  // namespace

CaptureRing::CaptureRing() = default;
CaptureRing::~CaptureRing() = default;

bool CaptureRing::Prepare(int samples_per_buffer) {
  if (samples_per_buffer <= 0) return false;
  samples_.reset(new (std::nothrow) int16_t[static_cast<size_t>(kBuffers) * samples_per_buffer]);
  if (samples_ == nullptr) return false;
  samples_per_buffer_ = samples_per_buffer;
  Reset();
  return true;
}

void CaptureRing::Reset() {
  filled_.store(0);
  returned_.store(0);
  failed_.store(false);
  dropped_samples_.store(0);
  fill_index_ = 0;
  fill_position_ = 0;
  ring_index_ = 0;
  read_position_ = 0;
  first_block_seen_ = false;
}

void CaptureRing::Push(const int16_t samples[], int count) {
  const int per_buffer = samples_per_buffer_;
  while (count > 0) {
    const uint32_t filled = filled_.load(std::memory_order_relaxed);  // only this side writes it
    if (filled - returned_.load(std::memory_order_acquire) == kBuffers) {
      dropped_samples_.fetch_add(static_cast<uint32_t>(count), std::memory_order_relaxed);
      return;
    }
    int16_t* buffer = samples_.get() + static_cast<ptrdiff_t>(fill_index_) * per_buffer;
    const int take = std::min(count, per_buffer - fill_position_);
    std::copy_n(samples, take, buffer + fill_position_);
    samples += take;
    count -= take;
    fill_position_ += take;
    if (fill_position_ == per_buffer) {
      fill_position_ = 0;
      fill_index_ = fill_index_ == kBuffers - 1 ? 0 : fill_index_ + 1;
      filled_.store(filled + 1, std::memory_order_release);
      SignalEvent();
    }
  }
}

void CaptureRing::MarkFailed() {
  failed_.store(true);
  SignalEvent();
}

void CaptureRing::Interrupt() {
  interrupted_.store(true);
  SignalEvent();
}

bool CaptureRing::AllFull() const {
  return filled_.load(std::memory_order_acquire) - returned_.load(std::memory_order_relaxed) ==
         kBuffers;
}

int CaptureRing::Available() const {
  const uint32_t full =
      filled_.load(std::memory_order_acquire) - returned_.load(std::memory_order_relaxed);
  return static_cast<int>(full) * samples_per_buffer_ - read_position_;
}

CaptureRing::ReadResult CaptureRing::Read(int16_t samples[], int count,
                                          std::chrono::milliseconds wait_limit,
                                          std::chrono::milliseconds first_wait_limit) {
  const int per_buffer = samples_per_buffer_;
  int delivered = 0;
  while (delivered < count) {
    const uint32_t returned = returned_.load(std::memory_order_relaxed);  // only this side writes
    if (filled_.load(std::memory_order_acquire) == returned) {
      // Nothing full yet: wait for the device, but never without end, so that a stream that died
      // quietly (a microphone pulled out, a sound server gone) is noticed.
      const Clock::time_point deadline =
          Clock::now() + (first_block_seen_ ? wait_limit : first_wait_limit);
      for (;;) {
        const uint32_t seen = events_.load();
        if (filled_.load(std::memory_order_acquire) != returned) break;
        if (interrupted_.load()) return ReadResult::kInterrupted;
        if (failed_.load() || Clock::now() >= deadline) return ReadResult::kFailed;
        WaitForEvent(seen, deadline);
      }
    }
    first_block_seen_ = true;
    const int16_t* buffer = samples_.get() + static_cast<ptrdiff_t>(ring_index_) * per_buffer;
    const int take = std::min(count - delivered, per_buffer - read_position_);
    std::copy_n(buffer + read_position_, take, samples + delivered);
    delivered += take;
    read_position_ += take;
    if (read_position_ == per_buffer) {
      // Used up: the buffer goes back to the device.
      read_position_ = 0;
      ring_index_ = ring_index_ == kBuffers - 1 ? 0 : ring_index_ + 1;
      returned_.store(returned + 1, std::memory_order_release);
    }
  }
  return ReadResult::kOk;
}

bool CaptureRing::Pause(std::chrono::milliseconds duration) {
  const Clock::time_point deadline = Clock::now() + duration;
  for (;;) {
    const uint32_t seen = events_.load();
    if (interrupted_.load()) return false;
    if (Clock::now() >= deadline) return true;
    WaitForEvent(seen, deadline);
  }
}

void CaptureRing::WaitForEvent(uint32_t seen, Clock::time_point deadline) {
  // The flag is raised before the kernel compares events_ with `seen`: a producer that bumps
  // events_ after that comparison sees the flag and wakes us; one that bumped it before makes the
  // comparison fail, so no wake-up is lost.
  reader_waiting_.store(1);
  const Clock::duration left = deadline - Clock::now();
  if (left > Clock::duration::zero()) FutexWait(&events_, seen, left);
  reader_waiting_.store(0);
}

void CaptureRing::SignalEvent() {
  events_.fetch_add(1);
  // A wake-up costs a system call; skip it while the reader is busy with the last block.
  if (reader_waiting_.load() != 0) FutexWake(&events_);
}

}  // namespace sonlet
