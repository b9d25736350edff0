// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <vector>

#include "audio/recording.h"
#include "support/synthetic_vowel.h"

namespace sonlet {

// DC-blocked analysis frames of a bundled recording, so that the benchmarks time real speech.
inline std::vector<std::vector<float>> RecordedFrames(const std::string& name) {
  std::vector<int16_t> samples;
  std::string error;
  if (!LoadRecording(std::string(SONLET_DATA_DIR) + "/" + name, &samples, &error)) return {};
  return AnalysisFrames(samples);
}

}  // namespace sonlet
