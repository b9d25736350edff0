#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/audio_source.h"

// Plays a loaded recording to the engine as fast as it asks, block after block. A final part
// shorter than a read is dropped: the engine only ever takes whole blocks.
class RecordingSource : public AudioSource {
 public:
  explicit RecordingSource(std::vector<int16_t> samples) : samples_(std::move(samples)) {}

  Status read(int16_t samples[], int count) override;

 private:
  std::vector<int16_t> samples_;
  std::size_t position_ = 0;
};
