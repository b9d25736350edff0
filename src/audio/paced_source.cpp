// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/paced_source.h"

#include "analysis/signal_constants.h"

namespace sonlet {

PacedSource::PacedSource(std::unique_ptr<AudioSource> inner) : inner_(std::move(inner)) {}

AudioSource::Status PacedSource::Read(int16_t samples[], int count) {
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!started_) {
      // The clock starts with the first read, which, like a capture's first buffer, is due
      // when its last sample would have been heard.
      started_ = true;
      start_ = std::chrono::steady_clock::now();
    }
    samples_due_ += count;
    // Whole nanoseconds from the start, so that rounding never accumulates over a long run.
    const auto due = start_ + std::chrono::nanoseconds(samples_due_ * 1'000'000'000 / kSampleRate);
    if (wake_.wait_until(lock, due, [this] { return interrupted_; })) return Status::kEnded;
  }
  return inner_->Read(samples, count);
}

void PacedSource::Interrupt() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    interrupted_ = true;
  }
  wake_.notify_all();
  inner_->Interrupt();
}

}  // namespace sonlet
