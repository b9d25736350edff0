#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/recording.h"
#include "engine/audio_source.h"

namespace sonlet {

// Plays a recording to the engine as fast as it asks, block after block. A final part shorter
// than a read is dropped: the engine only ever takes whole blocks.
class RecordingSource : public AudioSource {
 public:
  // Samples already in memory (tests).
  explicit RecordingSource(std::vector<int16_t> samples) : samples_(std::move(samples)) {}
  // A file, read as the engine goes. Returns false with a message when it cannot be read.
  RecordingSource() = default;
  bool Open(const std::string& path, std::string* error);

  Status Read(int16_t samples[], int count) override;

 private:
  std::vector<int16_t> samples_;
  std::size_t position_ = 0;
  RecordingReader reader_;
  bool from_file_ = false;
};

}  // namespace sonlet
