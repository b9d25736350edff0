#include "audio/recording_source.h"

#include <algorithm>

namespace sonlet {

bool RecordingSource::Open(const std::string& path, std::string* error) {
  from_file_ = reader_.Open(path, error);
  return from_file_;
}

AudioSource::Status RecordingSource::Read(int16_t samples[], int count) {
  if (count < 0) return Status::kEnded;
  if (from_file_) return reader_.Read(samples, count) == count ? Status::kOk : Status::kEnded;
  if (samples_.size() - position_ < static_cast<std::size_t>(count)) return Status::kEnded;
  std::copy_n(samples_.begin() + static_cast<std::ptrdiff_t>(position_), count, samples);
  position_ += static_cast<std::size_t>(count);
  return Status::kOk;
}

}  // namespace sonlet
