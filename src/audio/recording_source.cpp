#include "audio/recording_source.h"

#include <algorithm>

AudioSource::Status RecordingSource::read(int16_t samples[], int count) {
  if (count < 0 || samples_.size() - position_ < static_cast<size_t>(count)) return Status::kEnded;
  std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), count, samples);
  position_ += static_cast<size_t>(count);
  return Status::kOk;
}
