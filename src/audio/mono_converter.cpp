// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/mono_converter.h"

#include <algorithm>
#include <cmath>
#include <new>

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

bool MonoConverter::Prepare(int rate, int channels) {
  if (channels <= 0 || rate < kLowestRate || rate > kHighestRate) return false;
  channels_ = channels;
  resampling_ = rate != kSampleRate;
  finished_ = false;
  if (resampling_ && !rate_converter_.Prepare(rate)) return false;
  const size_t most = resampling_ ? static_cast<size_t>(rate_converter_.MaxOutput(kMaxFrames))
                                  : static_cast<size_t>(kMaxFrames);
  try {
    mono_.assign(kMaxFrames, 0.0f);
    converted_.assign(most, 0.0f);
    samples_.assign(most, 0);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

std::span<const int16_t> MonoConverter::Convert(const float frames[], int frame_count) {
  frame_count = std::clamp(frame_count, 0, kMaxFrames);
  if (channels_ == 0) return {};
  finished_ = false;
  for (int i = 0; i < frame_count; ++i) {
    float sum = 0.0f;
    for (int c = 0; c < channels_; ++c) sum += Finite(frames[i * channels_ + c]);
    mono_[static_cast<size_t>(i)] = sum / static_cast<float>(channels_);
  }
  if (!resampling_) {
    std::transform(mono_.begin(), mono_.begin() + frame_count, samples_.begin(), ToSample);
    return {samples_.data(), static_cast<size_t>(frame_count)};
  }
  const int produced = rate_converter_.Process(mono_.data(), frame_count, converted_.data());
  std::transform(converted_.begin(), converted_.begin() + produced, samples_.begin(), ToSample);
  return {samples_.data(), static_cast<size_t>(produced)};
}

std::span<const int16_t> MonoConverter::Finish() {
  if (!resampling_ || finished_) return {};
  finished_ = true;
  const int produced = rate_converter_.Finish(converted_.data());
  std::transform(converted_.begin(), converted_.begin() + produced, samples_.begin(), ToSample);
  return {samples_.data(), static_cast<size_t>(produced)};
}

}  // namespace sonlet
