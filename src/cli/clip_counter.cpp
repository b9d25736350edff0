// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/clip_counter.h"

namespace sonlet {

namespace {

// A sample this near full scale was most likely cut off by the recording.
constexpr int kNearFullScale = 32440;  // 99 % of full scale
// A voice that merely touches full scale now and then is not worth a warning; a take with more
// than this share cut off is worth recording again.
constexpr double kClippedShare = 0.01;

}  // namespace

AudioSource::Status ClipCounter::Read(int16_t samples[], int count) {
  const Status status = source_.Read(samples, count);
  if (status == Status::kOk || status == Status::kOverrun) {
    int64_t cut = 0;
    for (int i = 0; i < count; ++i) {
      if (samples[i] >= kNearFullScale || samples[i] <= -kNearFullScale) ++cut;
    }
    clipped_.fetch_add(cut, std::memory_order_relaxed);
    samples_.fetch_add(count, std::memory_order_relaxed);
  }
  return status;
}

double ClipCounter::share() const {
  const int64_t samples = samples_.load(std::memory_order_relaxed);
  if (samples == 0) return 0.0;
  return static_cast<double>(clipped_.load(std::memory_order_relaxed)) /
         static_cast<double>(samples);
}

bool ClipCounter::clipped() const { return share() > kClippedShare; }

void ClipCounter::Restart() {
  samples_.store(0, std::memory_order_relaxed);
  clipped_.store(0, std::memory_order_relaxed);
}

}  // namespace sonlet
