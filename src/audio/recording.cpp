// SPDX-License-Identifier: GPL-3.0-or-later
#include "audio/recording.h"

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

#include "audio/mono_converter.h"

namespace sonlet {

namespace {

// libsndfile reads a file whose header promises more sound than the file holds (a copy cut
// short, a recording whose writer was killed), keeping what there is, and notes in its log a
// line such as "data : 95798 (should be 29956)". Returns what to tell the user, or "".
std::string CutShortWarning(SNDFILE* file, const std::string& path) {
  char log[8192] = {};
  sf_command(file, SFC_GET_LOG_INFO, log, sizeof log);
  for (const char* line = log; *line != '\0';) {
    long long promised = 0;
    long long held = 0;
    if (std::sscanf(line, "data : %lld (should be %lld)", &promised, &held) == 2 &&
        held < promised) {
      return "the recording '" + path + "' is cut short: its header promises " +
             std::to_string(promised) + " bytes of sound and the file holds " +
             std::to_string(held) + "; Sonlet listens to what there is.";
    }
    const char* next = std::strchr(line, '\n');
    if (next == nullptr) break;
    line = next + 1;
  }
  return "";
}

}  // namespace

struct RecordingReader::State {
  SNDFILE* file = nullptr;
  SF_INFO info{};
  MonoConverter converter;
  bool ended = false;  // the file is read to its end and the converter emptied

  std::vector<float> interleaved;  // one piece of the file as read
  std::vector<int16_t> pending;    // at 8000 Hz, waiting to be delivered
  size_t pending_used = 0;

  ~State() {
    if (file != nullptr) sf_close(file);
  }

  // Refills `pending` with more samples at 8000 Hz; false when nothing more will come.
  bool Refill() {
    pending.clear();
    pending_used = 0;
    while (pending.empty() && !ended) {
      const sf_count_t got = sf_readf_float(file, interleaved.data(), MonoConverter::kMaxFrames);
      const std::span<const int16_t> converted =
          got > 0 ? converter.Convert(interleaved.data(), static_cast<int>(got))
                  : converter.Finish();
      ended = got <= 0 && converted.empty();
      pending.assign(converted.begin(), converted.end());
    }
    return !pending.empty();
  }
};

RecordingReader::RecordingReader() = default;
RecordingReader::~RecordingReader() = default;

bool RecordingReader::Open(const std::string& path, std::string* error, std::string* warning) {
  auto state = std::make_unique<State>();
  state->file = sf_open(path.c_str(), SFM_READ, &state->info);
  if (state->file == nullptr) {
    // libsndfile ends some of its reasons with a full stop and others not.
    std::string reason = sf_strerror(nullptr);
    while (!reason.empty() && (reason.back() == '.' || reason.back() == ' ')) reason.pop_back();
    *error = "cannot read the recording '" + path + "': " + reason +
             ". Give a sound file (WAV, FLAC, OGG, ...) that exists and is readable.";
    return false;
  }
  const SF_INFO& info = state->info;
  if (info.frames <= 0 || info.channels <= 0 || info.samplerate <= 0) {
    *error = "the recording '" + path + "' holds no sound.";
    return false;
  }
  if (info.samplerate < MonoConverter::kLowestRate ||
      info.samplerate > MonoConverter::kHighestRate) {
    char rates[160];
    std::snprintf(rates, sizeof rates,
                  "is sampled at %d Hz; Sonlet converts recordings from %.2f Hz to %.0f Hz only",
                  info.samplerate, MonoConverter::kLowestRate, MonoConverter::kHighestRate);
    *error = "the recording '" + path + "' " + rates + ".";
    return false;
  }
  state->interleaved.resize(static_cast<size_t>(MonoConverter::kMaxFrames) * info.channels);
  if (!state->converter.Prepare(info.samplerate, info.channels)) {
    *error = "cannot convert the recording '" + path + "' to 8000 Hz mono.";
    return false;
  }
  if (warning != nullptr) *warning = CutShortWarning(state->file, path);
  state_ = std::move(state);
  return true;
}

int RecordingReader::Read(int16_t samples[], int count) {
  int given = 0;
  while (state_ != nullptr && given < count) {
    State& s = *state_;
    if (s.pending_used == s.pending.size() && !s.Refill()) break;
    const size_t take =
        std::min(s.pending.size() - s.pending_used, static_cast<size_t>(count - given));
    std::copy_n(s.pending.begin() + static_cast<std::ptrdiff_t>(s.pending_used), take,
                samples + given);
    s.pending_used += take;
    given += static_cast<int>(take);
  }
  return given;
}

bool LoadRecording(const std::string& path, std::vector<int16_t>* samples, std::string* error,
                   std::string* warning) {
  RecordingReader reader;
  if (!reader.Open(path, error, warning)) return false;
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
