// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/audio_source.h"

namespace sonlet {

// Passes a source's sound on, counting the samples cut off at full scale: a voice recorded too
// loud, whose formants are then distorted and whose calibration would be too. The count is
// read on the engine's thread, as the reads are made, or after the engine has stopped.
class ClipCounter : public AudioSource {
 public:
  explicit ClipCounter(AudioSource& source) : source_(source) {}

  Status Read(int16_t samples[], int count) override;
  void Interrupt() override { source_.Interrupt(); }

  // Whether enough of the sound read since the last Restart was cut off to warn the user, and
  // how much, as a share of the samples.
  bool clipped() const;
  double share() const;
  void Restart();

 private:
  AudioSource& source_;
  std::atomic<int64_t> samples_{0};
  std::atomic<int64_t> clipped_{0};
};

}  // namespace sonlet
