#include "audio/recording.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>

#include "analysis/signal_constants.h"

namespace {

// libsndfile reads 16-bit samples as x / 32768; this is the way back, clipped to 16 bits.
int16_t to_sample(float v) {
  const float scaled = std::nearbyint(v * 32768.0f);
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

class SoundFile {
 public:
  explicit SoundFile(const std::string& path) : file_(sf_open(path.c_str(), SFM_READ, &info_)) {}
  ~SoundFile() {
    if (file_ != nullptr) sf_close(file_);
  }
  SoundFile(const SoundFile&) = delete;
  SoundFile& operator=(const SoundFile&) = delete;

  SNDFILE* get() const { return file_; }
  const SF_INFO& info() const { return info_; }

 private:
  SF_INFO info_{};
  SNDFILE* file_;
};

}  // namespace

bool load_recording(const std::string& path, std::vector<int16_t>* samples, std::string* error) {
  SoundFile file(path);
  if (file.get() == nullptr) {
    *error = "cannot read the recording '" + path + "': " + sf_strerror(nullptr) +
             ". Give a sound file (WAV, FLAC, OGG, ...) that exists and is readable.";
    return false;
  }
  const SF_INFO& info = file.info();
  if (info.frames <= 0 || info.channels <= 0 || info.samplerate <= 0) {
    *error = "the recording '" + path + "' holds no sound.";
    return false;
  }

  samples->clear();
  if (info.channels == 1 && info.samplerate == kSampleRate) {
    // Already what the engine takes: read the 16-bit values as they are, without a round trip
    // through floating point.
    samples->resize(static_cast<size_t>(info.frames));
    const sf_count_t got = sf_readf_short(file.get(), samples->data(), info.frames);
    samples->resize(static_cast<size_t>(std::max<sf_count_t>(got, 0)));
  } else {
    std::vector<float> interleaved(static_cast<size_t>(info.frames) * info.channels);
    const sf_count_t got = sf_readf_float(file.get(), interleaved.data(), info.frames);
    std::vector<float> mono(static_cast<size_t>(std::max<sf_count_t>(got, 0)));
    for (size_t i = 0; i < mono.size(); ++i) {
      float sum = 0.0f;
      for (int c = 0; c < info.channels; ++c) sum += interleaved[i * info.channels + c];
      mono[i] = sum / static_cast<float>(info.channels);
    }
    std::vector<float> converted;
    if (info.samplerate == kSampleRate) {
      converted = std::move(mono);
    } else {
      const double ratio = static_cast<double>(kSampleRate) / info.samplerate;
      converted.resize(static_cast<size_t>(std::ceil(static_cast<double>(mono.size()) * ratio)) +
                       16);
      SRC_DATA data{};
      data.data_in = mono.data();
      data.input_frames = static_cast<long>(mono.size());
      data.data_out = converted.data();
      data.output_frames = static_cast<long>(converted.size());
      data.src_ratio = ratio;
      const int status = src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 1);
      if (status != 0) {
        *error =
            "cannot convert the recording '" + path + "' to 8000 Hz: " + src_strerror(status) + ".";
        return false;
      }
      converted.resize(static_cast<size_t>(data.output_frames_gen));
    }
    samples->resize(converted.size());
    std::transform(converted.begin(), converted.end(), samples->begin(), to_sample);
  }

  if (samples->empty()) {
    *error = "the recording '" + path + "' holds no sound.";
    return false;
  }
  return true;
}
