// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/recording_source.h"

namespace sonlet {

bool RecordingSource::Open(const std::string& path, std::string* error, std::string* warning) {
  open_ = reader_.Open(path, error, warning);
  return open_;
}

AudioSource::Status RecordingSource::Read(int16_t samples[], int count) {
  if (!open_ || count < 0) return Status::kEnded;
  return reader_.Read(samples, count) == count ? Status::kOk : Status::kEnded;
}

}  // namespace sonlet
