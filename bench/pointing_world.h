// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The world bench/pointing runs in: the screen, the voices and modes it measures, the profile each
// gets, and what stands in for the sound card, the desktop's pointer and the panel around the
// program's own engine.

#include <algorithm>
#include <cstdint>
#include <cstdio>

#include "calibration/vowel_map.h"
#include "engine/engine_settings.h"
#include "engine/voice_engine.h"
#include "formant_synth.h"
#include "synthetic_sounds.h"
#include "voice_sounds.h"

namespace sonlet {

inline constexpr int kScreenWidth = 1920;
inline constexpr int kScreenHeight = 1080;
inline constexpr double kPassSeconds = 150.0 / 8000.0;
inline constexpr int kThreshold = 45;         // the threshold level is 55 dB
inline constexpr double kNormalAbove = 14.0;  // dB above the threshold level
inline constexpr int kClickMaxPasses = 20;    // the profile's upper click limit, unless --click-max
// Vowel indices into kVowels.
inline constexpr int kA = 0, kE = 1, kI = 2, kO = 3;

struct Voice {
  const char* name;
  bool recorded;  // espeak-ng's, read from the folder given with --espeak; else synthetic
  SyntheticSpeaker synthetic;
  int height;  // profile: cm above 90
  bool male;
};

inline constexpr Voice kVoices[] = {
    {"man", false, {Group::kMan, 101, 1.0, 118}, 85, true},
    {"woman", false, {Group::kWoman, 201, 1.0, 210}, 70, false},
    {"child", false, {Group::kChild, 301, 1.0, 265}, 41, false},
    {"espeak-man", true, {}, 85, true},
    {"espeak-woman", true, {}, 70, false},
    {"espeak-child", true, {}, 41, false},
};

struct Mode {
  const char* name;
  int speed;
  bool calibrated;
  bool agile;
};

inline constexpr Mode kModes[] = {
    {"default", 50, false, false},        {"speed75", 75, false, false},
    {"calibrated", 50, true, false},      {"agile", 50, false, true},
    {"agile-calibrated", 50, true, true},
};

// Every pass on standard error, for POINTING_DEBUG.
class PassWatch : public PassObserver {
 public:
  void PassDone(const PassRecord& r) override {
    std::fprintf(stderr,
                 "   level %.1f loud %d pitch %.0f run %d f1 %.0f f2 %.0f vowel %c event %d c",
                 r.level, r.loud, r.pitch_median, r.run, r.f1_normalised, r.f2_normalised,
                 r.vowel != 0 ? r.vowel : '-', static_cast<int>(r.event.kind));
    for (float c : r.candidates) std::fprintf(stderr, " %.0f", c);
    std::fprintf(stderr, " bw");
    for (float b : r.bandwidths) std::fprintf(stderr, " %.0f", b);
    std::fprintf(stderr, "\n");
  }
};

// The panel and the notices, which the task does not watch.
class QuietPanel : public PanelView, public NoticeSink {
 public:
  void ShowMeters(int, int, int) override {}
  void ShowReadings(const Readings&) override {}
  void Notify(Notice, int) override {}
};

// The desktop's pointer: the engine's motions added up and held to the screen.
class Pointer : public InputSink {
 public:
  int Move(int dx, int dy) override {
    x_ = std::clamp(x_ + dx, 0, kScreenWidth - 1);
    y_ = std::clamp(y_ + dy, 0, kScreenHeight - 1);
    return 0;
  }
  int LeftDown() override { return 0; }
  int LeftUp() override {
    ++clicks_;
    return 0;
  }
  int EnterDown() override { return 0; }
  int EnterUp() override { return 0; }

  void Place(int x, int y) { x_ = x, y_ = y; }
  int x() const { return x_; }
  int y() const { return y_; }
  int64_t clicks() const { return clicks_; }

 private:
  int x_ = 0;
  int y_ = 0;
  int64_t clicks_ = 0;
};

// The block the user says this pass, handed to the engine when it reads.
class SpokenBlocks : public AudioSource {
 public:
  Status Read(int16_t samples[], int count) override {
    std::copy_n(block_, std::min(count, kBlockSamples), samples);
    return Status::kOk;
  }
  int16_t* block() { return block_; }

 private:
  int16_t block_[kBlockSamples] = {};
};

// The profile of a voice in a mode: threshold 45, clicks of 3 to click_max passes, its height
// and sex, listening.
void FillSettings(const Voice& voice, const Mode& mode, EngineSettings* settings,
                  int click_max = kClickMaxPasses);

// The amplitude of a sound of RMS 1 said `above` dB over the threshold level.
double Amplitude(double above);

// The calibration of a voice from one take of each vowel, run through the engine as
// --make-calibration runs it. False when it is refused.
bool Calibrate(const Voice& voice, VoiceSounds* sounds, VowelMap* map);

}  // namespace sonlet
