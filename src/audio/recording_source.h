// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <string>

#include "audio/recording.h"
#include "engine/audio_source.h"

namespace sonlet {

// Plays a recording file to the engine as fast as it asks, block after block, reading it as the
// engine goes. A final part shorter than a read is dropped: the engine only ever takes whole
// blocks.
class RecordingSource : public AudioSource {
 public:
  // Returns false with a message for the user in *error when the file cannot be read; a file
  // that is cut short opens, with what to tell the user in *warning.
  bool Open(const std::string& path, std::string* error, std::string* warning = nullptr);

  // kEnded at the end of the recording, and before a successful Open.
  Status Read(int16_t samples[], int count) override;

 private:
  RecordingReader reader_;
  bool open_ = false;
};

}  // namespace sonlet
