// SPDX-License-Identifier: GPL-3.0-or-later
// How fast and how surely a voice points with Sonlet: a simulated user drives the real engine in
// closed loop on the multidirectional target-selection task of ISO 9241-9, and the effective
// throughput, movement time and errors are printed per voice, mode, distance and width.
//
// The task: 13 round targets evenly on a circle around the middle of a 1920 x 1080 screen, the
// circle's diameter the distance D (256, 512 or 1024 px), each target W wide (16, 32 or 64 px),
// selected in the usual order that crosses the circle each time (0, 7, 1, 8, ...), starting
// from the pointer on target 0. A trial runs from the click that selected the previous target
// to the click inside this one. A target not clicked within 30 s is an error; the pointer stays
// where it got to and the next trial starts from there.
//
// The engine is the program's own (VoiceEngine, file mode: one 150-sample block a pass, as fast
// as it goes), with the settings of a profile, and each block is made on the spot from what
// the user is saying at that moment; the pointer is the sum of the motions the engine sends,
// held to the screen as a desktop holds it (pointing_world.h). The user, one model for every
// mode, is written down in pointing_user.h.
//
// Modes: the default profile (speed 50); speed 75; speed 50 with a calibration made from the
// voice's own takes (src/calibration, as sonlet --make-calibration makes it); --agile, alone and
// with that calibration. Voices: the synthesiser's man, woman and child (formant_synth.h), and
// espeak-ng's man (es), woman (es+f3) and a child-like voice (es+f4, its pitch raised), which
// bench/pointing records into the folder given with --espeak (recorded_sounds.h); each with a
// profile of its height and sex, threshold 45 and clicks of 3 to 20 passes. Every voice
// calibrates from one take of each vowel and says, during the task, the sounds of a second
// take (the synthesiser's: other takes; espeak-ng's: another pitch), so that the calibration
// is never judged on the recording it was made from. An espeak-ng vowel is looped on its
// steady middle for as long as the user holds it.
//
// Figures: TPe = log2(De/We + 1) / MT per distance and width, over the trials that reached their
// target; De is the mean distance moved along the task axis, We = 4.133 x the standard
// deviation of the end points along it. "TPe" in the summary is the mean over the nine
// conditions; "wait" is the share of movement time before the pointer first moves in a trial,
// "strokes" the mean number of sounds (not counting clicks) per reached target.
//   pointing [--espeak DIR] [--voices man,...,espeak-child]
//            [--modes default,speed75,calibrated,agile,agile-calibrated]
//            [--detail] [--bearings] [--perfect-bearing] [--practised] [--click-max PASSES]
// --bearings prints, instead, where the calibrated map points each sound the user can say between
// two vowels; --perfect-bearing steers every calibrated mode exactly where the user means (the
// bound a truer map could reach); --practised gives the user a practised user's knowledge of where
// each of its sounds goes (pointing_user.h), which a map with steady but uneven bearings leaves it
// to learn. --click-max sets the profile's upper click limit (20 passes otherwise): agile
// steering starts when a sound can no longer be a click, so a user whose click is short can start
// it sooner. POINTING_STROKES=1 prints every stroke on standard error
// (aimed and moved direction, distance), POINTING_DEBUG=1 every pass (the user's state, the
// pointer, the engine's readings), to see where a trial's time goes.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "calibration/ordered_formants.h"
#include "calibration/vowel_map.h"
#include "engine/direction_strategy.h"
#include "pointing_user.h"
#include "pointing_world.h"
#include "recorded_sounds.h"
#include "synthetic_sounds.h"
#include "voice_sounds.h"

namespace sonlet {
namespace {

// How the map places each sound the user can say between two vowels: the direction meant
// against the mean of the bearings the engine gave over its held part (screen degrees, y
// downwards), the worst single pass, and the heard F1 and F2 (medians), one row a sound.
void PrintBearings(const Voice& voice, VoiceSounds* sounds, const VowelMap& map) {
  struct Heard : PassObserver {
    OrderedFormants ordered;
    std::vector<float> f1, f2;
    void PassDone(const PassRecord& r) override {
      if (!r.loud) return;
      float narrow[kFormantRoots];
      NarrowCandidates(r.candidates, r.bandwidths, narrow);
      const SteadyFormants f = ordered.Hear(narrow);
      f1.push_back(f.f1), f2.push_back(f.f2);
    }
    static float Median(std::vector<float>* v) {
      if (v->empty()) return 0.0f;
      std::nth_element(v->begin(), v->begin() + v->size() / 2, v->end());
      return (*v)[v->size() / 2];
    }
  };
  constexpr int kQuadrants[4][2] = {{kA, kO}, {kI, kO}, {kI, kE}, {kA, kE}};
  constexpr double kDegrees = 180.0 / std::numbers::pi;
  bool shown[kVowelSounds] = {};
  for (const auto& q : kQuadrants) {
    // A voice that says no sound between two vowels has only the vowels to show, each once.
    const int step = sounds->SaysBetween() ? 1 : kBlendSteps;
    for (int eighths = 0; eighths <= kBlendSteps; eighths += step) {
      const int alone = eighths == 0 ? q[0] : eighths == kBlendSteps ? q[1] : -1;
      if (alone >= 0 && !sounds->SaysBetween() && shown[alone]) continue;
      if (alone >= 0) shown[alone] = true;
      EngineSettings settings;
      FillSettings(voice, kModes[0], &settings);
      CalibratedDecision decision(map);
      settings.direction_strategy.store(&decision);
      SpokenBlocks audio;
      Pointer pointer;
      QuietPanel quiet;
      Heard heard;
      VoiceEngine engine(settings, audio, pointer, quiet, quiet, &heard);
      const std::vector<float>& sound = sounds->Sound(q[0], q[1], eighths);
      const double gain = Amplitude(kNormalAbove);
      const double turn = eighths * std::numbers::pi / (2 * kBlendSteps);
      const double want = std::atan2((q[1] == kO ? 1 : -1) * std::sin(turn),
                                     (q[0] == kA ? 1 : -1) * std::cos(turn));
      double sum_x = 0.0, sum_y = 0.0, worst = 0.0;
      int without = 0;
      for (int b = 0; b < 200; ++b) {
        for (int i = 0; i < kBlockSamples; ++i) {
          const size_t at = (b * kBlockSamples + i) % (sound.size() / 2) + sound.size() / 4;
          audio.block()[i] =
              static_cast<int16_t>(std::lround(std::clamp(sound[at] * gain, -32768.0, 32767.0)));
        }
        if (b == 0 ? !engine.Start() : !engine.Pass()) break;
        if (b < 40) continue;  // the onset and the steadying medians
        float x = 0.0f, y = 0.0f;
        if (!decision.Bearing(&x, &y)) {
          ++without;
          continue;
        }
        sum_x += x, sum_y += y;
        worst = std::max(worst,
                         std::fabs(std::remainder(std::atan2(y, x) - want, 2 * std::numbers::pi)));
      }
      std::printf("| %s | %c to %c, %d/8 | %.1f | %.1f | %.1f | %d | %.0f | %.0f |\n", voice.name,
                  kVowelLetters[q[0]], kVowelLetters[q[1]], eighths, want * kDegrees,
                  std::atan2(sum_y, sum_x) * kDegrees, worst * kDegrees, without,
                  Heard::Median(&heard.f1), Heard::Median(&heard.f2));
    }
  }
}

struct Figures {
  double tpe = 0.0;
  double mt = 0.0;
  double errors = 0.0;
  double wait = 0.0;
  double strokes = 0.0;
};

Figures Summarise(const std::vector<Trial>& trials) {
  Figures f;
  int reached = 0;
  double passes = 0.0, wait = 0.0, strokes = 0.0;
  double along = 0.0, off = 0.0, off2 = 0.0;
  for (const Trial& t : trials) {
    if (!t.reached) continue;
    ++reached;
    passes += t.passes;
    wait += t.wait_passes;
    strokes += t.strokes;
    along += t.along;
    off += t.off;
    off2 += t.off * t.off;
  }
  f.errors = 1.0 - reached / static_cast<double>(trials.size());
  if (reached == 0) return f;
  f.mt = passes / reached * kPassSeconds;
  f.wait = wait / passes;
  f.strokes = strokes / reached;
  const double de = along / reached;
  const double mean = off / reached;
  const double sd =
      reached > 1 ? std::sqrt(std::max(0.0, (off2 - reached * mean * mean) / (reached - 1))) : 0.0;
  const double we = 4.133 * std::max(sd, 0.5);  // a pixel is the finest the pointer lands
  f.tpe = std::log2(de / we + 1.0) / f.mt;
  return f;
}

bool Listed(const std::string& list, const char* name) {
  if (list.empty()) return true;
  size_t start = 0;
  while (start <= list.size()) {
    const size_t end = std::min(list.find(',', start), list.size());
    if (list.compare(start, end - start, name) == 0) return true;
    start = end + 1;
  }
  return false;
}

// The first name in the comma-separated list that the table lacks, or "".
template <typename Entry, size_t n>
std::string Unknown(const std::string& list, const Entry (&table)[n]) {
  size_t start = 0;
  while (!list.empty() && start <= list.size()) {
    const size_t end = std::min(list.find(',', start), list.size());
    const std::string name = list.substr(start, end - start);
    if (std::none_of(table, table + n, [&](const Entry& e) { return name == e.name; })) {
      return name.empty() ? "(an empty name)" : name;
    }
    start = end + 1;
  }
  return "";
}

constexpr char kUsage[] =
    "usage: pointing [--espeak DIR] [--voices man,woman,child,espeak-man,espeak-woman,"
    "espeak-child]\n"
    "                [--modes default,speed75,calibrated,agile,agile-calibrated] [--detail]\n"
    "                [--bearings] [--perfect-bearing] [--practised] [--click-max PASSES]\n";

// The sounds of every voice asked for, in the order of kVoices (null for one not asked for);
// false with a message on standard error when a recorded voice cannot be read.
bool LoadVoices(const std::string& list, const std::string& espeak,
                std::unique_ptr<VoiceSounds> (&sounds)[std::size(kVoices)]) {
  for (size_t v = 0; v < std::size(kVoices); ++v) {
    const Voice& voice = kVoices[v];
    if (!Listed(list, voice.name)) continue;
    if (!voice.recorded) {
      sounds[v] = std::make_unique<SyntheticSounds>(voice.synthetic);
      continue;
    }
    // Without recordings the whole table still runs, on the synthetic voices.
    if (espeak.empty() && list.empty()) continue;
    if (espeak.empty()) {
      std::fprintf(stderr,
                   "pointing: the voice %s is recorded with espeak-ng: give the folder of its "
                   "sounds with --espeak DIR (bench/pointing makes it)\n",
                   voice.name);
      return false;
    }
    auto recorded = std::make_unique<RecordedSounds>();
    std::string error;
    if (!recorded->Load(espeak + "/" + voice.name, &error)) {
      std::fprintf(stderr, "pointing: %s\n", error.c_str());
      return false;
    }
    sounds[v] = std::move(recorded);
  }
  return true;
}

}  // namespace
}  // namespace sonlet

int main(int argc, char** argv) {
  using namespace sonlet;
  std::string voices, modes, espeak;
  bool detail = false, bearings = false, perfect_bearing = false, practised = false;
  int click_max = kClickMaxPasses;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--voices") == 0 && i + 1 < argc) {
      voices = argv[++i];
    } else if (std::strcmp(argv[i], "--modes") == 0 && i + 1 < argc) {
      modes = argv[++i];
    } else if (std::strcmp(argv[i], "--espeak") == 0 && i + 1 < argc) {
      espeak = argv[++i];
    } else if (std::strcmp(argv[i], "--detail") == 0) {
      detail = true;
    } else if (std::strcmp(argv[i], "--bearings") == 0) {
      bearings = true;
    } else if (std::strcmp(argv[i], "--perfect-bearing") == 0) {
      perfect_bearing = true;
    } else if (std::strcmp(argv[i], "--practised") == 0) {
      practised = true;
    } else if (std::strcmp(argv[i], "--click-max") == 0 && i + 1 < argc &&
               std::sscanf(argv[i + 1], "%d", &click_max) == 1 && click_max >= 4 &&
               click_max <= kClickLimitMax) {
      ++i;
    } else {
      std::fprintf(stderr, "%s", kUsage);
      return 2;
    }
  }
  for (const std::string& unknown : {Unknown(voices, kVoices), Unknown(modes, kModes)}) {
    if (!unknown.empty()) {
      std::fprintf(stderr, "pointing: no voice or mode is called %s\n%s", unknown.c_str(), kUsage);
      return 2;
    }
  }
  std::unique_ptr<VoiceSounds> all_sounds[std::size(kVoices)];
  if (!LoadVoices(voices, espeak, all_sounds)) return 2;
  constexpr int kDistances[] = {256, 512, 1024};
  constexpr int kWidths[] = {16, 32, 64};
  if (bearings) {
    std::printf(
        "| voice | sound | meant (deg) | heard | worst pass off | passes without | F1 | F2 |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
  } else {
    std::printf(
        "| voice | mode | TPe (bits/s) | MT (s) | errors | wait | strokes | 16 px reached |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
  }
  for (size_t v = 0; v < std::size(kVoices); ++v) {
    const Voice& voice = kVoices[v];
    VoiceSounds* sounds = all_sounds[v].get();
    if (sounds == nullptr) continue;
    VowelMap map;
    const bool calibrated = Calibrate(voice, sounds, &map);
    if (std::getenv("POINTING_DEBUG") != nullptr) {
      for (int k = 0; k < kVowelCount; ++k) {
        const VowelArea& a = map.vowels[k];
        std::fprintf(stderr, "%s %c: %.0f %.0f %.0f (%.2f %.2f %.2f) %d passes\n", voice.name,
                     kVowelLetters[k], a.f1_hz, a.f2_hz, a.f3_hz, a.f1_spread, a.f2_spread,
                     a.f3_spread, a.passes);
      }
    }
    if (bearings) {
      if (calibrated) PrintBearings(voice, sounds, map);
      continue;
    }
    for (const Mode& mode : kModes) {
      if (!Listed(modes, mode.name)) continue;
      if (mode.calibrated && !calibrated) {
        std::printf("| %s | %s | calibration refused | | | | | |\n", voice.name, mode.name);
        continue;
      }
      // Agile steering times a click on the sound itself, the default mode on the level
      // meter, so a click near the upper limit may click in one and steer in the other.
      {
        User probe(voice, mode, sounds, mode.calibrated ? &map : nullptr, false, click_max, false);
        const int64_t clicks = probe.ClicksAfterStroke();
        if (clicks != 1) {
          std::fprintf(stderr,
                       "pointing: the click of %s (%d passes of sound) made %lld clicks after a "
                       "stroke in %s, not one: its trials will end in slips or time out\n",
                       voice.name, probe.ClickPasses(), static_cast<long long>(clicks), mode.name);
        }
      }
      User user(voice, mode, sounds, mode.calibrated ? &map : nullptr, perfect_bearing, click_max,
                practised);
      Figures mean;
      int conditions = 0;
      std::vector<Trial> all;
      int reached16 = 0, tried16 = 0;
      for (int distance : kDistances) {
        for (int width : kWidths) {
          std::vector<Trial> trials;
          user.Run(distance, width, &trials);
          const Figures f = Summarise(trials);
          mean.tpe += f.tpe;
          ++conditions;
          for (const Trial& t : trials) {
            if (width == 16) tried16 += 1, reached16 += t.reached ? 1 : 0;
          }
          all.insert(all.end(), trials.begin(), trials.end());
          if (detail) {
            std::printf("|   %s D=%d W=%d | %s | %.2f | %.2f | %.0f %% | %.0f %% | %.1f | |\n",
                        voice.name, distance, width, mode.name, f.tpe, f.mt, 100 * f.errors,
                        100 * f.wait, f.strokes);
          }
        }
      }
      const Figures whole = Summarise(all);
      std::printf("| %s | %s | %.2f | %.2f | %.1f %% | %.0f %% | %.1f | %d/%d |\n", voice.name,
                  mode.name, mean.tpe / conditions, whole.mt, 100 * whole.errors, 100 * whole.wait,
                  whole.strokes, reached16, tried16);
      std::fflush(stdout);
    }
  }
  return 0;
}
