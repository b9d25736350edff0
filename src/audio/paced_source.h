// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "engine/audio_source.h"

namespace sonlet {

// Hands out another source's samples no faster than a microphone would: a read returns when its
// last sample would have been captured, counting 1/8000 s per sample from the first read. A
// recording played through it keeps the control panel's meters moving at their real pace, which is
// what trying the panel and measuring its cost need.
class PacedSource : public AudioSource {
 public:
  explicit PacedSource(std::unique_ptr<AudioSource> inner);

  // Waits until the last of the samples asked for is due, then reads them from the inner
  // source. An interrupt ends the wait, and every later read, with kEnded.
  Status Read(int16_t samples[], int count) override;
  void Interrupt() override;

 private:
  std::unique_ptr<AudioSource> inner_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool interrupted_ = false;
  bool started_ = false;
  std::chrono::steady_clock::time_point start_;
  int64_t samples_due_ = 0;  // samples handed out so far, and so due by now
};

}  // namespace sonlet
