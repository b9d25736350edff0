#include "audio/recording.h"

#include <samplerate.h>
#include <sndfile.h>

#include <algorithm>
#include <cmath>

#include "analysis/signal_constants.h"

namespace sonlet {

namespace {

constexpr int kChunkFrames = 1024;  // read from the file this many frames at a time

// libsndfile reads 16-bit samples as x / 32768; this is the way back, clipped to 16 bits.
int16_t ToSample(float v) {
  const float scaled = std::nearbyint(v * 32768.0f);
  return static_cast<int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

}  // namespace

struct RecordingReader::State {
  SNDFILE* file = nullptr;
  SF_INFO info{};
  SRC_STATE* converter = nullptr;  // only when the file's rate is not 8000 Hz
  bool file_ended = false;
  bool converter_ended = false;

  std::vector<float> interleaved;  // one chunk as read
  std::vector<float> mono;         // the chunk mixed down, at the file's rate
  size_t mono_used = 0;
  std::vector<float> converted;  // at 8000 Hz, waiting to be delivered
  size_t converted_used = 0;

  ~State() {
    if (converter != nullptr) src_delete(converter);
    if (file != nullptr) sf_close(file);
  }

  // Reads the next chunk of the file into `mono`; false at the end.
  bool ReadChunk() {
    if (file_ended) return false;
    const sf_count_t got = sf_readf_float(file, interleaved.data(), kChunkFrames);
    if (got <= 0) {
      file_ended = true;
      return false;
    }
    mono.resize(static_cast<size_t>(got));
    const int channels = info.channels;
    for (size_t i = 0; i < mono.size(); ++i) {
      float sum = 0.0f;
      for (int c = 0; c < channels; ++c) sum += interleaved[i * channels + c];
      mono[i] = sum / static_cast<float>(channels);
    }
    mono_used = 0;
    return true;
  }

  // Refills `converted` with more samples at 8000 Hz; false when nothing more will come.
  bool Refill() {
    converted.clear();
    converted_used = 0;
    if (converter == nullptr) {
      if (!ReadChunk()) return false;
      converted = mono;
      return true;
    }
    while (converted.empty() && !converter_ended) {
      if (mono_used == mono.size()) ReadChunk();
      const bool last = file_ended;
      converted.resize(kChunkFrames * 8);
      SRC_DATA data{};
      data.data_in = mono.data() + mono_used;
      data.input_frames = last ? 0 : static_cast<long>(mono.size() - mono_used);
      data.data_out = converted.data();
      data.output_frames = static_cast<long>(converted.size());
      data.src_ratio = static_cast<double>(kSampleRate) / info.samplerate;
      data.end_of_input = last ? 1 : 0;
      if (src_process(converter, &data) != 0) {
        converter_ended = true;
        converted.clear();
        return false;
      }
      mono_used += static_cast<size_t>(data.input_frames_used);
      converted.resize(static_cast<size_t>(data.output_frames_gen));
      if (last && data.output_frames_gen == 0) converter_ended = true;
    }
    return !converted.empty();
  }
};

RecordingReader::RecordingReader() = default;
RecordingReader::~RecordingReader() = default;

bool RecordingReader::Open(const std::string& path, std::string* error) {
  auto state = std::make_unique<State>();
  state->file = sf_open(path.c_str(), SFM_READ, &state->info);
  if (state->file == nullptr) {
    *error = "cannot read the recording '" + path + "': " + sf_strerror(nullptr) +
             ". Give a sound file (WAV, FLAC, OGG, ...) that exists and is readable.";
    return false;
  }
  const SF_INFO& info = state->info;
  if (info.frames <= 0 || info.channels <= 0 || info.samplerate <= 0) {
    *error = "the recording '" + path + "' holds no sound.";
    return false;
  }
  state->interleaved.resize(static_cast<size_t>(kChunkFrames) * info.channels);
  if (info.samplerate != kSampleRate) {
    int status = 0;
    state->converter = src_new(SRC_SINC_MEDIUM_QUALITY, 1, &status);
    if (state->converter == nullptr) {
      *error =
          "cannot convert the recording '" + path + "' to 8000 Hz: " + src_strerror(status) + ".";
      return false;
    }
  }
  state_ = std::move(state);
  return true;
}

int RecordingReader::Read(int16_t samples[], int count) {
  int given = 0;
  while (state_ != nullptr && given < count) {
    State& s = *state_;
    if (s.converted_used == s.converted.size() && !s.Refill()) break;
    const size_t take =
        std::min(s.converted.size() - s.converted_used, static_cast<size_t>(count - given));
    std::transform(s.converted.begin() + static_cast<std::ptrdiff_t>(s.converted_used),
                   s.converted.begin() + static_cast<std::ptrdiff_t>(s.converted_used + take),
                   samples + given, ToSample);
    s.converted_used += take;
    given += static_cast<int>(take);
  }
  return given;
}

bool LoadRecording(const std::string& path, std::vector<int16_t>* samples, std::string* error) {
  RecordingReader reader;
  if (!reader.Open(path, error)) return false;
  samples->clear();
  int16_t block[4096];
  for (int got; (got = reader.Read(block, 4096)) > 0;)
    samples->insert(samples->end(), block, block + got);
  if (samples->empty()) {
    *error = "the recording '" + path + "' holds no sound.";
    return false;
  }
  return true;
}

}  // namespace sonlet
