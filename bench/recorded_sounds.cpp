// SPDX-License-Identifier: GPL-3.0-or-later
#include "recorded_sounds.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "audio/recording.h"
#include "formant_synth.h"

namespace sonlet {
namespace {

constexpr int kRate = 8000;
constexpr size_t kFrame = 400;               // 50 ms, for finding the steady part
constexpr double kSteadyRatio = 0.7079;      // 1.5 dB in energy
constexpr size_t kShortestSteady = 1600;     // 0.2 s
constexpr size_t kHeldSamples = 10 * kRate;  // beyond the user's longest stroke, 8 s
constexpr size_t kMatch = 160;               // 20 ms compared at a join: two periods of a low voice
constexpr size_t kSearch = 160;     // a join is sought up to a period of a 50 Hz voice back
constexpr size_t kFade = 80;        // 10 ms
constexpr size_t kClickEdge = 400;  // 50 ms of onset and decay left out of a click's level
constexpr size_t kShortestClick = 3 * kClickEdge;

struct Span {
  size_t from = 0;
  size_t to = 0;
};

// The run of frames around the loudest whose energy stays within 1.5 dB of it.
Span SteadyPart(const std::vector<double>& x) {
  std::vector<double> energy(x.size() / kFrame, 0.0);
  for (size_t f = 0; f < energy.size(); ++f) {
    for (size_t i = f * kFrame; i < (f + 1) * kFrame; ++i) energy[f] += x[i] * x[i];
  }
  if (energy.empty()) return {};
  const size_t peak =
      static_cast<size_t>(std::max_element(energy.begin(), energy.end()) - energy.begin());
  const double floor = energy[peak] * kSteadyRatio;
  size_t first = peak, last = peak;
  while (first > 0 && energy[first - 1] >= floor) --first;
  while (last + 1 < energy.size() && energy[last + 1] >= floor) ++last;
  return {first * kFrame, (last + 1) * kFrame};
}

double Match(const std::vector<double>& x, size_t a, size_t b) {
  double ab = 0.0, aa = 0.0, bb = 0.0;
  for (size_t k = 0; k < kMatch; ++k) {
    ab += x[a + k] * x[b + k];
    aa += x[a + k] * x[a + k];
    bb += x[b + k] * x[b + k];
  }
  return aa > 0.0 && bb > 0.0 ? ab / std::sqrt(aa * bb) : -1.0;
}

// The recording held for kHeldSamples: up to the end of its steady part, then that part again
// and again, then the recording's own ending.
std::vector<float> Held(const std::vector<double>& x, Span steady) {
  const size_t start = steady.from;
  const size_t latest = steady.to;  // ReadVowel leaves room after it to compare and fade
  size_t end = latest;
  double best = -2.0;
  // The steady part is longer than the search, so the loop stays longer than kSearch.
  for (size_t e = latest; e + kSearch >= latest; --e) {
    const double m = Match(x, start, e);
    if (m > best) best = m, end = e;
  }
  std::vector<double> out(x.begin(), x.begin() + static_cast<std::ptrdiff_t>(end));
  while (out.size() < kHeldSamples) {
    for (size_t k = 0; k < kFade; ++k) {
      const double w = (static_cast<double>(k) + 0.5) / kFade;
      out.push_back((1.0 - w) * x[end + k] + w * x[start + k]);
    }
    out.insert(out.end(), x.begin() + static_cast<std::ptrdiff_t>(start + kFade),
               x.begin() + static_cast<std::ptrdiff_t>(end));
  }
  out.insert(out.end(), x.begin() + static_cast<std::ptrdiff_t>(end), x.end());
  return Normalised(out, start, end);
}

bool Read(const std::string& path, std::vector<double>* samples, std::string* error) {
  std::vector<int16_t> read;
  std::string warning;
  if (!LoadRecording(path, &read, error, &warning)) return false;
  if (!warning.empty()) {
    *error = warning.substr(0, warning.find(';')) + ".";
    return false;
  }
  samples->assign(read.begin(), read.end());
  return true;
}

// A held vowel's samples and their steady part; false when it has none long enough.
bool ReadVowel(const std::string& path, std::vector<double>* samples, Span* steady,
               std::string* error) {
  if (!Read(path, samples, error)) return false;
  *steady = SteadyPart(*samples);
  if (steady->to - steady->from < kShortestSteady ||
      steady->to + std::max(kMatch, kFade) > samples->size()) {
    *error = "the recording '" + path +
             "' holds no held vowel: its loudest part stays within 1.5 dB for less than 0.2 s, or "
             "the sound ends there. Give a vowel held for a second or more.";
    return false;
  }
  return true;
}

}  // namespace

bool RecordedSounds::Load(const std::string& folder, std::string* error) {
  std::vector<double> samples;
  Span steady;
  for (int v = 0; v < kVowelSounds; ++v) {
    const std::string name = std::string(1, kVowels[v]) + ".wav";
    if (!ReadVowel(folder + "/take1/" + name, &samples, &steady, error)) return false;
    takes_[v] = Normalised(samples, steady.from, steady.to);
    if (!ReadVowel(folder + "/take2/" + name, &samples, &steady, error)) return false;
    held_[v] = Held(samples, steady);
  }
  const std::string click = folder + "/click.wav";
  if (!Read(click, &samples, error)) return false;
  if (samples.size() < kShortestClick) {
    *error = "the recording '" + click + "' is too short to click: it lasts " +
             std::to_string(samples.size() * 1000 / kRate) + " ms. Give a sound of 0.15 s or more.";
    return false;
  }
  click_ = Normalised(samples, kClickEdge, samples.size() - kClickEdge);
  return true;
}

const std::vector<float>& RecordedSounds::Sound(int vowel, int other, int eighths) {
  if (other >= 0 && 2 * eighths > kBlendSteps) vowel = other;
  return held_[vowel];
}

}  // namespace sonlet
