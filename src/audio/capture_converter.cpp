#include "audio/capture_converter.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace sonlet {

CaptureConverter::~CaptureConverter() {
  if (state_ != nullptr) src_delete(state_);
}

bool CaptureConverter::Prepare(int device_rate, int channels, int ring_rate) {
  if (device_rate <= 0 || channels <= 0 || ring_rate <= 0) return false;
  if (state_ != nullptr) src_delete(state_);
  int error = 0;
  // The fastest band-limited converter: a plain linear one would fold everything above 4 kHz
  // back into the range the engine analyses.
  state_ = src_new(SRC_SINC_FASTEST, 1, &error);
  if (state_ == nullptr) return false;
  channels_ = channels;
  ratio_ = static_cast<double>(ring_rate) / device_rate;
  mono_.assign(kChunkFrames, 0.0f);
  // Room for one chunk's output with margin, also when the device is slower than the ring.
  const size_t out = static_cast<size_t>(std::ceil(kChunkFrames * ratio_)) + 64;
  converted_.assign(out, 0.0f);
  samples_.assign(out, 0);
  return true;
}

void CaptureConverter::Convert(const float frames[], int frame_count, CaptureRing& ring) {
  if (state_ == nullptr) return;
  while (frame_count > 0) {
    const int chunk = std::min(frame_count, kChunkFrames);
    for (int i = 0; i < chunk; ++i) {
      float sum = 0.0f;
      for (int c = 0; c < channels_; ++c) sum += frames[i * channels_ + c];
      mono_[static_cast<size_t>(i)] = sum / static_cast<float>(channels_);
    }
    frames += static_cast<ptrdiff_t>(chunk) * channels_;
    frame_count -= chunk;

    // The output has room for the whole chunk, so this takes one or two turns; the limit only
    // guards against a converter that stops taking input.
    long used = 0;
    for (int turn = 0; turn < 4 && used < chunk; ++turn) {
      SRC_DATA data{};
      data.data_in = mono_.data() + used;
      data.input_frames = chunk - used;
      data.data_out = converted_.data();
      data.output_frames = static_cast<long>(converted_.size());
      data.src_ratio = ratio_;
      if (src_process(state_, &data) != 0) return;
      used += data.input_frames_used;
      const int got = static_cast<int>(data.output_frames_gen);
      src_float_to_short_array(converted_.data(), samples_.data(), got);
      ring.Push(samples_.data(), got);
      if (data.input_frames_used == 0 && got == 0) break;
    }
  }
}

}  // namespace sonlet
