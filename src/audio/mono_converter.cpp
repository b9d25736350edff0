#include "audio/mono_converter.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

#include "analysis/signal_constants.h"

namespace sonlet {

namespace {

// Sound libraries read a 16-bit sample as x / 32768; this is the way back, clipped to 16 bits.
// A value that is not a number (a damaged float recording) becomes silence: it has no integer.
int16_t ToSample(float v) {
  if (std::isnan(v)) return 0;
  const float scaled = std::nearbyint(v * 32768.0f);
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

// A value as the mix-down takes it: not a number counts as silence and an infinity as full
// scale, so that a damaged float recording cannot put either into the rate converter's filter.
float Finite(float v) {
  if (std::isnan(v)) return 0.0f;
  if (std::isinf(v)) return v > 0.0f ? 1.0f : -1.0f;
  return v;
}

}  // namespace

MonoConverter::~MonoConverter() {
  if (state_ != nullptr) src_delete(state_);
}

bool MonoConverter::Prepare(int rate, int channels, Quality quality) {
  if (rate <= 0 || channels <= 0) return false;
  if (!src_is_valid_ratio(static_cast<double>(kSampleRate) / rate)) return false;
  if (state_ != nullptr) src_delete(state_);
  state_ = nullptr;
  if (rate != kSampleRate) {
    int error = 0;
    state_ = src_new(quality == Quality::kFastest ? SRC_SINC_FASTEST : SRC_SINC_MEDIUM_QUALITY, 1,
                     &error);
    if (state_ == nullptr) return false;
  }
  channels_ = channels;
  ratio_ = static_cast<double>(kSampleRate) / rate;
  mono_.assign(kMaxFrames, 0.0f);
  // Room for one call's output with margin, also when the sound is slower than the engine's.
  const size_t out = static_cast<size_t>(std::ceil(kMaxFrames * ratio_)) + 64;
  converted_.assign(out, 0.0f);
  samples_.assign(std::max(out, static_cast<size_t>(kMaxFrames)), 0);
  return true;
}

std::span<const int16_t> MonoConverter::Convert(const float frames[], int frame_count) {
  frame_count = std::clamp(frame_count, 0, kMaxFrames);
  if (channels_ == 0) return {};
  for (int i = 0; i < frame_count; ++i) {
    float sum = 0.0f;
    for (int c = 0; c < channels_; ++c) sum += Finite(frames[i * channels_ + c]);
    mono_[static_cast<size_t>(i)] = sum / static_cast<float>(channels_);
  }
  if (state_ == nullptr) {
    std::transform(mono_.begin(), mono_.begin() + frame_count, samples_.begin(), ToSample);
    return {samples_.data(), static_cast<size_t>(frame_count)};
  }
  return Resample(frame_count, false);
}

std::span<const int16_t> MonoConverter::Finish() {
  if (state_ == nullptr) return {};
  return Resample(0, true);
}

std::span<const int16_t> MonoConverter::Resample(int frame_count, bool ended) {
  // The output has room for all the input, so this takes one or two turns; the limit only
  // guards against a converter that stops taking input.
  long used = 0;
  long produced = 0;
  const long room = static_cast<long>(converted_.size());
  for (int turn = 0; turn < 4 && (used < frame_count || ended) && produced < room; ++turn) {
    SRC_DATA data{};
    data.data_in = mono_.data() + used;
    data.input_frames = frame_count - used;
    data.data_out = converted_.data() + produced;
    data.output_frames = room - produced;
    data.src_ratio = ratio_;
    data.end_of_input = ended ? 1 : 0;
    if (src_process(state_, &data) != 0) break;
    used += data.input_frames_used;
    produced += data.output_frames_gen;
    if (data.input_frames_used == 0 && data.output_frames_gen == 0) break;
  }
  std::transform(converted_.begin(), converted_.begin() + produced, samples_.begin(), ToSample);
  return {samples_.data(), static_cast<size_t>(produced)};
}

}  // namespace sonlet
