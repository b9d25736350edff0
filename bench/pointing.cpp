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
// held to the screen as a desktop holds it.
//
// The user (one model for every mode; only what is said changes):
//   - Sees with a reaction time of 250 ms (13 passes): every decision is made on the pointer
//     as it was 13 passes ago, and takes effect on the sound of the very pass it is made in.
//   - Aims along one axis at a time where the pointer moves only in four directions: the axis
//     with the larger error first, with the vowel of that direction ("a" right, "i" left, "e"
//     up, "o" down). With agile steering and a calibration it aims straight at the target: it
//     says a sound between the two vowels whose directions frame the target's (in eighths of
//     the way from one to the other, as a practised user finds a sound between two vowels), or
//     the one vowel when the target lies nearly along one axis. That needs a voice that can
//     say a sound between two vowels: the synthesiser's can, espeak-ng's cannot (it says each
//     vowel only as itself), so with an espeak-ng voice the user aims along one axis at a
//     time in every mode.
//   - Stops by anticipation: it has learnt its own reaction time, so it stops the sound when
//     the pointer it sees, carried on for 13 passes at the speed it saw over the last 4, would
//     reach the target along the stroke (or after 8 s of a stroke that gets nowhere).
//   - Speaks about 14 dB above the threshold; for a short correction (under 48 px), where the
//     engine's own steps are coarse, it speaks softer, 5 dB above ("e" stays loud: the fixed
//     regions need it 10 dB up). With agile steering it keeps its voice: the ramp is fine
//     enough.
//   - Corrects: after a stroke it waits until the pointer it sees has stood still for 5 passes
//     (and a reaction time has passed), then aims again from where it is. A stroke that moved
//     nothing it holds 5 passes longer the next time, one that went more than twice as far as
//     it meant at least a pass shorter; a stroke the screen's edge stopped it does not learn
//     from.
//   - Clicks with a short voiced sound of its own voice 20 dB above the threshold (the
//     synthesiser's a 0.225 s "i", as in "click"; espeak-ng's its own short "i", said at the
//     speed of ordinary speech: 0.22 s from the man and the woman, 0.33 s from the child-like
//     voice), once the pointer it sees has settled inside the target (its centre at most
//     W/2 - 1 px away); then waits for the engine's click. A click outside the target is a
//     slip: it corrects and clicks again.
//   - Has a quiet room behind it: noise 40 dB under its voice in every block.
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
//            [--detail] [--bearings] [--perfect-bearing] [--click-max PASSES]
// --bearings prints, instead, where the calibrated map points each sound the user can say between
// two vowels; --perfect-bearing steers every calibrated mode exactly where the user means (the
// bound a truer map could reach). --click-max sets the profile's upper click limit (20 passes
// otherwise): agile steering starts when a sound can no longer be a click, so a user whose
// click is short can start it sooner. POINTING_STROKES=1 prints every stroke on standard error
// (aimed and moved direction, distance), POINTING_DEBUG=1 every pass (the user's state, the
// pointer, the engine's readings), to see where a trial's time goes.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "calibration/calibration_builder.h"
#include "calibration/ordered_formants.h"
#include "calibration/take_collector.h"
#include "calibration/vowel_map.h"
#include "engine/agile_steering.h"
#include "engine/direction_strategy.h"
#include "engine/engine_settings.h"
#include "engine/voice_engine.h"
#include "formant_synth.h"
#include "recorded_sounds.h"
#include "synthetic_sounds.h"
#include "voice_sounds.h"

namespace sonlet {
namespace {

constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr int kTargets = 13;
constexpr int kReactionPasses = 13;  // 244 ms
constexpr int kSpeedWindow = 4;
constexpr int kStillPasses = 5;
constexpr int kTimeoutPasses = 1600;     // 30 s
constexpr int kStrokeLimitPasses = 427;  // 8 s
constexpr double kPassSeconds = 150.0 / 8000.0;
constexpr int kThreshold = 45;         // the threshold level is 55 dB
constexpr double kNormalAbove = 14.0;  // dB above the threshold level
constexpr double kSoftAbove = 5.0;
constexpr double kClickAbove = 20.0;
constexpr double kSoftBelowPixels = 48.0;
constexpr size_t kMemoryStrokes = 60;
constexpr int kClickMaxPasses = 20;  // the profile's upper click limit, unless --click-max
constexpr int kLongerPasses = 5;

// Vowel indices into kVowels.
constexpr int kA = 0, kE = 1, kI = 2, kO = 3;

struct Voice {
  const char* name;
  bool recorded;  // espeak-ng's, read from the folder given with --espeak; else synthetic
  SyntheticSpeaker synthetic;
  int height;  // profile: cm above 90
  bool male;
};

constexpr Voice kVoices[] = {
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

constexpr Mode kModes[] = {
    {"default", 50, false, false},        {"speed75", 75, false, false},
    {"calibrated", 50, true, false},      {"agile", 50, false, true},
    {"agile-calibrated", 50, true, true},
};

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

void FillSettings(const Voice& voice, const Mode& mode, EngineSettings* settings,
                  int click_max = kClickMaxPasses) {
  StoreSetting(settings->threshold, kThreshold);
  StoreSetting(settings->click_min, 3);
  StoreSetting(settings->click_max, click_max);
  StoreSetting(settings->height, voice.height);
  StoreSetting(settings->speed, mode.speed);
  StoreSetting(settings->male, voice.male ? 1 : 0);
  SetListening(settings, true);
}

double Amplitude(double above) { return std::pow(10.0, (100 - kThreshold + above) / 20.0); }

// The calibration of a voice from one take of each vowel, run through the engine as
// --make-calibration runs it. False when it is refused.
bool Calibrate(const Voice& voice, VoiceSounds* sounds, VowelMap* map) {
  std::vector<SteadyFormants> takes[kVowelCount];
  for (int v = 0; v < kVowelCount; ++v) {
    EngineSettings settings;
    FillSettings(voice, kModes[0], &settings);
    SpokenBlocks audio;
    Pointer pointer;
    QuietPanel quiet;
    TakeCollector collector;
    struct Both : PassObserver {
      PassObserver* a;
      PassObserver* b;
      void PassDone(const PassRecord& r) override {
        a->PassDone(r);
        if (b != nullptr) b->PassDone(r);
      }
    } both;
    PassWatch watch;
    both.a = &collector;
    both.b = std::getenv("POINTING_DEBUG") != nullptr ? &watch : nullptr;
    VoiceEngine engine(settings, audio, pointer, quiet, quiet, &both);
    const std::vector<float> take = sounds->Take(v);
    const double gain = Amplitude(kNormalAbove);
    const size_t blocks = take.size() / kBlockSamples;
    for (size_t b = 0; b <= blocks + 20; ++b) {
      for (int i = 0; i < kBlockSamples; ++i) {
        const size_t at = b * kBlockSamples + i;
        audio.block()[i] =
            at < take.size()
                ? static_cast<int16_t>(std::lround(std::clamp(take[at] * gain, -32768.0, 32767.0)))
                : 0;
      }
      if (b == 0 ? !engine.Start() : !engine.Pass()) break;
    }
    takes[v] = collector.passes();
    if (std::getenv("POINTING_DEBUG") != nullptr) {
      for (const SteadyFormants& f : takes[v]) {
        std::fprintf(stderr, "take %c %.0f %.0f %.0f\n", kVowelLetters[v], f.f1, f.f2, f.f3);
      }
    }
  }
  const CalibrationResult result = BuildCalibration(takes, true);
  if (result.status != CalibrationResult::Status::kOk) return false;
  *map = result.map;
  return true;
}

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

struct Trial {
  int distance;
  int width;
  bool reached;
  int passes;       // movement time
  int wait_passes;  // before the pointer first moved
  int strokes;
  double along;  // the end point along the task axis, from the start
  double off;    // the end point along the task axis, from the target's centre
};

// The map's decision, or with --perfect-bearing one that steers exactly where the user means
// whenever the map finds a bearing: the bound that a truer map could reach under this user.
class MeantBearing : public CalibratedDecision {
 public:
  using CalibratedDecision::CalibratedDecision;
  bool Bearing(float* x, float* y) const override {
    if (!CalibratedDecision::Bearing(x, y)) return false;
    if (perfect) *x = meant_x, *y = meant_y;
    return true;
  }
  bool perfect = false;
  float meant_x = 0.0f;
  float meant_y = 0.0f;
};

// One user driving one engine through every trial of a voice and mode.
class User {
 public:
  User(const Voice& voice, const Mode& mode, VoiceSounds* sounds, const VowelMap* map,
       bool perfect_bearing, int click_max)
      : mode_(mode),
        sounds_(sounds),
        noise_(Amplitude(kNormalAbove - 40.0)),
        click_max_(click_max) {
    FillSettings(voice, mode, &settings_, click_max);
    if (map != nullptr) {
      decision_ = std::make_unique<MeantBearing>(*map);
      decision_->perfect = perfect_bearing;
      settings_.direction_strategy.store(decision_.get());
    }
    if (mode.agile) settings_.agile_steering.store(&agile_);
    engine_ = std::make_unique<VoiceEngine>(settings_, audio_, pointer_, quiet_, quiet_,
                                            debug_ ? &watch_ : nullptr);
    Say(nullptr, 0.0);
    engine_->Start();
  }

  void Run(int distance, int width, std::vector<Trial>* trials) {
    const double cx = kScreenWidth / 2.0, cy = kScreenHeight / 2.0;
    double tx[kTargets], ty[kTargets];
    for (int k = 0; k < kTargets; ++k) {
      const double angle = 2.0 * std::numbers::pi * k / kTargets;
      tx[k] = cx + 0.5 * distance * std::sin(angle);
      ty[k] = cy - 0.5 * distance * std::cos(angle);
    }
    pointer_.Place(static_cast<int>(std::lround(tx[0])), static_cast<int>(std::lround(ty[0])));
    int from = 0;
    for (int n = 1; n <= kTargets; ++n) {
      const int to = (n * (kTargets + 1) / 2) % kTargets;
      trials->push_back(Select(tx[from], ty[from], tx[to], ty[to], distance, width));
      from = to;
    }
  }

  // Says the click as in a trial, at the earliest the user clicks after a stroke (a second of
  // "a", then a reaction time and the pointer standing still), and counts the engine's clicks.
  int64_t ClicksAfterStroke() {
    const int64_t before = pointer_.clicks();
    const int held = static_cast<int>(1.0 / kPassSeconds);
    const int click_from = held + kReactionPasses + kStillPasses;
    size_t at = 0;
    for (int pass = 0; pass < click_from + ClickPasses() + held; ++pass) {
      if (pass == click_from) at = 0;
      const bool holding = pass < held;
      const bool clicking = pass >= click_from && pass < click_from + ClickPasses();
      Say(holding    ? &sounds_->Sound(kA, -1, 0)
          : clicking ? &sounds_->Click()
                     : nullptr,
          holding ? kNormalAbove : kClickAbove, &at);
      engine_->Pass();
    }
    return pointer_.clicks() - before;
  }

  int ClickPasses() const {
    return static_cast<int>((sounds_->Click().size() + kBlockSamples - 1) / kBlockSamples);
  }

 private:
  Trial Select(double sx, double sy, double tx, double ty, int distance, int width) {
    Trial trial{distance, width, false, 0, -1, 0, 0.0, 0.0};
    const int start_x = pointer_.x(), start_y = pointer_.y();
    history_.assign(kReactionPasses + kSpeedWindow + 1, {start_x, start_y});
    const double radius = width / 2.0;
    int quiet_since = 0;
    int stroke_passes = 0;
    int planned = kStrokeLimitPasses;
    int stroke_x = 0, stroke_y = 0;
    int click_left = 0;
    bool stroking = false;
    double ux = 0.0, uy = 0.0;
    double aim_distance = 0.0;
    int last_hold = 0;           // the last stroke's hold
    bool moved_nothing = false;  // whether it moved nothing
    bool overshot = false;       // whether it moved more than twice as far as it meant
    const std::vector<float>* sound = nullptr;
    size_t sound_at = 0;
    double level = 0.0;
    int64_t clicks_seen = pointer_.clicks();
    for (int pass = 0; pass < kTimeoutPasses; ++pass) {
      const auto [seen_x, seen_y] = history_[history_.size() - 1 - kReactionPasses];
      const double ex = tx - seen_x, ey = ty - seen_y;
      if (stroking) {
        const auto [old_x, old_y] = history_[history_.size() - 1 - kReactionPasses - kSpeedWindow];
        const double vx = (seen_x - old_x) / static_cast<double>(kSpeedWindow);
        const double vy = (seen_y - old_y) / static_cast<double>(kSpeedWindow);
        const double ahead = (ex - vx * kReactionPasses) * ux + (ey - vy * kReactionPasses) * uy;
        ++stroke_passes;
        if (ahead <= 0.0 || stroke_passes >= planned || stroke_passes > kStrokeLimitPasses) {
          stroking = false;
          sound = nullptr;
          quiet_since = pass;
        }
      } else if (click_left == 0 && sound == nullptr && Settled(pass, quiet_since)) {
        if (stroke_passes > 0) {
          if (strokes_) {
            const double mx = seen_x - stroke_x, my = seen_y - stroke_y;
            std::fprintf(stderr,
                         "stroke D=%d W=%d n=%d aimed %.1f moved %.1f deg, %.0f px away, "
                         "moved %.0f, %.0f left, held %d passes\n",
                         distance, width, trial.strokes,
                         std::atan2(uy, ux) * 180 / std::numbers::pi,
                         std::atan2(my, mx) * 180 / std::numbers::pi, aim_distance,
                         std::hypot(mx, my), std::hypot(ex, ey), stroke_passes);
          }
          // A stroke the screen's edge stopped says nothing of how far the hold would have gone.
          const bool at_edge = seen_x <= 0 || seen_y <= 0 || seen_x >= kScreenWidth - 1 ||
                               seen_y >= kScreenHeight - 1;
          if (!at_edge) {
            Remember(level, stroke_passes, (seen_x - stroke_x) * ux + (seen_y - stroke_y) * uy);
          }
          last_hold = stroke_passes;
          moved_nothing = seen_x == stroke_x && seen_y == stroke_y;
          overshot = (seen_x - stroke_x) * ux + (seen_y - stroke_y) * uy > 2.0 * aim_distance;
          stroke_passes = 0;
        }
        if (std::hypot(ex, ey) <= radius - 1.0) {
          sound = &sounds_->Click();
          sound_at = 0;
          level = kClickAbove;
          click_left = ClickPasses();
        } else {
          Aim(ex, ey, radius, &ux, &uy, &sound, &level);
          planned = Plan(level, ex * ux + ey * uy);
          // A hold that moved nothing, or far too far, is not tried again as it was.
          if (moved_nothing) planned = std::max(planned, last_hold + kLongerPasses);
          if (overshot && planned >= last_hold) planned = last_hold - 1;
          if (decision_ != nullptr) {
            decision_->meant_x = static_cast<float>(ux),
            decision_->meant_y = static_cast<float>(uy);
          }
          aim_distance = std::hypot(ex, ey);
          stroke_x = seen_x;
          stroke_y = seen_y;
          sound_at = 0;
          stroking = true;
          stroke_passes = 0;
          ++trial.strokes;
        }
      }
      Say(sound, level, &sound_at);
      if (click_left > 0 && --click_left == 0) {
        sound = nullptr;
        quiet_since = pass;
      }
      engine_->Pass();
      if (debug_) {
        std::fprintf(stderr, "%d %s%s %.0f %d %d -> %.0f %.0f k%lld\n", pass, stroking ? "S" : "-",
                     click_left > 0 ? "C" : "-", level, pointer_.x(), pointer_.y(), tx, ty,
                     static_cast<long long>(pointer_.clicks()));
      }
      history_.push_back({pointer_.x(), pointer_.y()});
      if (trial.wait_passes < 0 && (pointer_.x() != start_x || pointer_.y() != start_y)) {
        trial.wait_passes = pass;
      }
      if (pointer_.clicks() != clicks_seen) {
        clicks_seen = pointer_.clicks();
        if (std::hypot(tx - pointer_.x(), ty - pointer_.y()) <= radius) {
          trial.reached = true;
          trial.passes = pass + 1;
          break;
        }
        // A slip: the click missed; aim again from here.
        quiet_since = pass;
      }
    }
    if (trial.wait_passes < 0) trial.wait_passes = trial.passes;
    const double ax = tx - sx, ay = ty - sy;
    const double length = std::hypot(ax, ay);
    trial.along = ((pointer_.x() - sx) * ax + (pointer_.y() - sy) * ay) / length;
    trial.off = trial.along - length;
    return trial;
  }

  // What the user has learnt of how far a hold of the voice takes the pointer: the holds of
  // its recent strokes and how far each went, at each loudness.
  void Remember(double level, int hold, double moved) {
    std::vector<std::pair<int, double>>& memory = memory_[static_cast<int>(level)];
    memory.push_back({hold, moved});
    if (memory.size() > kMemoryStrokes) memory.erase(memory.begin());
  }

  // The hold it plans for a distance: between the remembered holds that went just less and
  // just more than that far (or the click window's hold, which moves nothing); without a hold
  // that went farther, until it sees the pointer there.
  int Plan(double level, double distance) const {
    auto found = memory_.find(static_cast<int>(level));
    if (found == memory_.end()) return kStrokeLimitPasses;
    // A hold within the click window moves nothing, as the user knows from its clicks.
    const std::pair<int, double> still{click_max_, 0.0};
    const std::pair<int, double>* below = &still;
    const std::pair<int, double>* above = nullptr;
    for (const auto& m : found->second) {
      if (m.second <= distance && (below == nullptr || m.second > below->second)) below = &m;
      if (m.second >= distance && (above == nullptr || m.second < above->second)) above = &m;
    }
    if (below == nullptr || above == nullptr) return kStrokeLimitPasses;
    if (above->second - below->second < 1.0) return (below->first + above->first) / 2;
    const double share = (distance - below->second) / (above->second - below->second);
    return static_cast<int>(std::lround(below->first + share * (above->first - below->first)));
  }

  bool Settled(int pass, int quiet_since) const {
    if (pass - quiet_since < kReactionPasses) return false;
    const size_t seen = history_.size() - 1 - kReactionPasses;
    for (int k = 1; k <= kStillPasses; ++k) {
      if (history_[seen - k] != history_[seen]) return false;
    }
    return true;
  }

  void Aim(double ex, double ey, double radius, double* ux, double* uy,
           const std::vector<float>** sound, double* level) {
    const double distance = std::hypot(ex, ey);
    *level = kNormalAbove;
    if (mode_.agile && mode_.calibrated && sounds_->SaysBetween() &&
        std::min(std::fabs(ex), std::fabs(ey)) > radius / 2) {
      // Between the two vowels that frame the target's direction.
      const int horizontal = ex > 0 ? kA : kI;
      const int vertical = ey > 0 ? kO : kE;
      const double angle = std::atan2(std::fabs(ey), std::fabs(ex));  // 0 along x
      const int eighths =
          static_cast<int>(std::lround(angle / (std::numbers::pi / 2) * kBlendSteps));
      *sound = &sounds_->Sound(horizontal, vertical, eighths);
      *ux = ex / distance;
      *uy = ey / distance;
      return;
    }
    const bool along_x = std::fabs(ex) >= std::fabs(ey);
    const double error = along_x ? ex : ey;
    *ux = along_x ? (ex > 0 ? 1 : -1) : 0;
    *uy = along_x ? 0 : (ey > 0 ? 1 : -1);
    const int vowel = along_x ? (ex > 0 ? kA : kI) : (ey > 0 ? kO : kE);
    *sound = &sounds_->Sound(vowel, -1, 0);
    if (!mode_.agile && vowel != kE && std::fabs(error) < kSoftBelowPixels) *level = kSoftAbove;
  }

  void Say(const std::vector<float>* sound, double above, size_t* at = nullptr) {
    const double gain = Amplitude(above);
    std::normal_distribution<double> unit(0.0, 1.0);
    for (int i = 0; i < kBlockSamples; ++i) {
      double v = noise_ * unit(random_);
      if (sound != nullptr && at != nullptr) {
        // Held on past its end: the held part again, before the sound's own decay.
        if (sound->size() > 8000 && *at + 1600 >= sound->size()) *at = sound->size() / 2;
        if (*at < sound->size()) v += gain * (*sound)[(*at)++];
      }
      audio_.block()[i] = static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
    }
  }

  bool debug_ = std::getenv("POINTING_DEBUG") != nullptr;
  bool strokes_ = std::getenv("POINTING_STROKES") != nullptr;
  PassWatch watch_;
  Mode mode_;
  VoiceSounds* sounds_;
  double noise_;
  int click_max_;  // passes: a hold this short moves nothing, as the user knows
  EngineSettings settings_;
  std::unique_ptr<MeantBearing> decision_;
  AgileSteering agile_;
  SpokenBlocks audio_;
  Pointer pointer_;
  QuietPanel quiet_;
  std::unique_ptr<VoiceEngine> engine_;
  std::vector<std::pair<int, int>> history_;
  std::map<int, std::vector<std::pair<int, double>>> memory_;
  std::mt19937_64 random_{12345};
};

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
    "                [--bearings] [--perfect-bearing] [--click-max PASSES]\n";

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
  bool detail = false, bearings = false, perfect_bearing = false;
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
        User probe(voice, mode, sounds, mode.calibrated ? &map : nullptr, false, click_max);
        const int64_t clicks = probe.ClicksAfterStroke();
        if (clicks != 1) {
          std::fprintf(stderr,
                       "pointing: the click of %s (%d passes of sound) made %lld clicks after a "
                       "stroke in %s, not one: its trials will end in slips or time out\n",
                       voice.name, probe.ClickPasses(), static_cast<long long>(clicks), mode.name);
        }
      }
      User user(voice, mode, sounds, mode.calibrated ? &map : nullptr, perfect_bearing, click_max);
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
