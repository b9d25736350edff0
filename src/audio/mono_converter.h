#pragma once

#include <cstdint>
#include <span>
#include <vector>

typedef struct SRC_STATE_tag SRC_STATE;

namespace sonlet {

// Turns sound of any rate and channel count into what the engine hears: 16-bit mono samples at
// 8000 Hz. The channels are mixed down to their mean, the rate is converted by libsamplerate's
// band-limited sinc converter (a plain linear one would fold everything above 4 kHz back into
// the band the engine analyses), and each value is rounded to 16 bits. Recordings and the live
// capture of a device that records in its own format both go through it.
//
// Everything is allocated by Prepare(); Convert() does work in proportion to the frames it is
// given and allocates nothing, so it can run in an audio callback.
class MonoConverter {
 public:
  // The most frames one Convert() takes.
  static constexpr int kMaxFrames = 1024;

  enum class Quality {
    kFastest,  // the cheapest band-limited filter, for live capture
    kMedium,   // a steeper one, for recordings, which need not keep up with real time
  };

  MonoConverter() = default;
  ~MonoConverter();
  MonoConverter(const MonoConverter&) = delete;
  MonoConverter& operator=(const MonoConverter&) = delete;

  // Sets up for sound of `channels` interleaved channels at `rate` Hz. At 8000 Hz nothing is
  // resampled. Returns false when the converter cannot be had: a channel count below 1, a rate
  // outside kLowestRate..kHighestRate, or no memory.
  bool Prepare(int rate, int channels, Quality quality);

  // The rates the converter takes: at most 256 times slower or faster than 8000 Hz.
  static constexpr double kLowestRate = 31.25;
  static constexpr double kHighestRate = 2048000.0;

  // Mixes down and converts the next frames. in: frames[0..frame_count*channels-1], interleaved,
  // full scale +-1, frame_count in 0..kMaxFrames. Returns the samples at 8000 Hz that they give,
  // valid until the next call; the filter holds a few back, which later calls deliver.
  std::span<const int16_t> Convert(const float frames[], int frame_count);

  // At the end of the sound: what the filter still holds. Call until it returns nothing.
  std::span<const int16_t> Finish();

 private:
  // Runs the rate converter over mono_[0..frame_count-1] (ended: the sound is over) and rounds
  // what comes out into samples_.
  std::span<const int16_t> Resample(int frame_count, bool ended);

  SRC_STATE* state_ = nullptr;  // null when the rate is already 8000 Hz
  int channels_ = 0;
  double ratio_ = 1.0;            // 8000 / the rate
  std::vector<float> mono_;       // one call's frames, mixed down
  std::vector<float> converted_;  // the same at 8000 Hz
  std::vector<int16_t> samples_;  // the same as 16-bit samples
};

}  // namespace sonlet
