#pragma once

#include <string>
#include <vector>

#include "support/synthetic_vowel.h"
#include "audio/recording.h"

// DC-blocked analysis frames of a bundled recording, so that the benchmarks time real speech.
inline std::vector<std::vector<float>> recorded_frames(const std::string& name) {
  std::vector<int16_t> samples;
  std::string error;
  if (!load_recording(std::string(SONLET_DATA_DIR) + "/" + name, &samples, &error)) return {};
  return analysis_frames(samples);
}
