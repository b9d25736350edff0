#pragma once

#include <cstdint>
#include <vector>

#include "audio/capture_ring.h"

typedef struct SRC_STATE_tag SRC_STATE;

namespace sonlet {

// Turns what a device records at its own rate and channel count into the engine's rate, mono,
// for devices that will not record 8000 Hz mono themselves (many sound cards' own devices).
// Runs in the audio callback: everything is allocated by prepare(), and each call does work in
// proportion to the frames it is given, a bounded chunk at a time.
class CaptureConverter {
 public:
  CaptureConverter() = default;
  ~CaptureConverter();
  CaptureConverter(const CaptureConverter&) = delete;
  CaptureConverter& operator=(const CaptureConverter&) = delete;

  // Sets up for a device recording `channels` interleaved channels at device_rate Hz, to be
  // converted to ring_rate Hz. Returns false when the converter cannot be had.
  bool Prepare(int device_rate, int channels, int ring_rate);

  // Mixes frames[0..frame_count*channels-1] (interleaved, full scale +-1) down to mono,
  // converts it to ring_rate 16-bit samples and records them into the ring.
  void Convert(const float frames[], int frame_count, CaptureRing& ring);

 private:
  static constexpr int kChunkFrames = 256;  // device frames converted at a time

  SRC_STATE* state_ = nullptr;
  int channels_ = 0;
  double ratio_ = 1.0;            // ring rate / device rate
  std::vector<float> mono_;       // one chunk, mixed down
  std::vector<float> converted_;  // that chunk at the ring's rate
  std::vector<int16_t> samples_;  // the same as 16-bit samples
};

}  // namespace sonlet
