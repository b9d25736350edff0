// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "engine/audio_source.h"

namespace sonlet {

// Samples already in memory, played to the engine as fast as it asks, block after block, as the
// program plays a recording: a final part shorter than a read is dropped. It needs no sound
// library, so the engine's tests also run where only the core is built.
class MemorySource : public AudioSource {
 public:
  explicit MemorySource(std::vector<int16_t> samples) : samples_(std::move(samples)) {}

  Status Read(int16_t samples[], int count) override {
    if (count < 0 || samples_.size() - position_ < static_cast<std::size_t>(count)) {
      return Status::kEnded;
    }
    std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), count, samples);
    position_ += static_cast<std::size_t>(count);
    return Status::kOk;
  }

 private:
  std::vector<int16_t> samples_;
  std::size_t position_ = 0;
};

}  // namespace sonlet
