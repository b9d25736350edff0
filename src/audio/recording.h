// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sonlet {

// Reads a recording as the engine hears a microphone: 16-bit mono at 8000 samples a second.
// Any file libsndfile reads is accepted; several channels are mixed down to one and other rates
// are converted on the way. The file is read piece by piece, so a recording of any length takes
// the same memory.
class RecordingReader {
 public:
  RecordingReader();
  ~RecordingReader();
  RecordingReader(const RecordingReader&) = delete;
  RecordingReader& operator=(const RecordingReader&) = delete;

  // Opens the file. Returns false with a message for the user in *error when it is missing,
  // unreadable, holds no sound or is sampled at a rate that cannot be converted. When given,
  // *warning receives a message for a file that opens but is cut short, or "".
  bool Open(const std::string& path, std::string* error, std::string* warning = nullptr);

  // Fills samples[0..count-1] with the next samples; returns how many it gave, fewer than count
  // only at the end of the recording.
  int Read(int16_t samples[], int count);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

// The whole recording at once, for tests and tools that look at short files.
// Fails as RecordingReader::Open does, and for a file that yields no sample.
bool LoadRecording(const std::string& path, std::vector<int16_t>* samples, std::string* error,
                   std::string* warning = nullptr);

}  // namespace sonlet
