// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The simulated user of bench/pointing, who points and clicks with its voice in closed loop.
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
//   - With --practised (agile steering, a calibration and a voice that says sounds between
//     vowels) it knows where its own sounds go, as a user does after some practice: it keeps
//     the direction each sound has moved the pointer (over strokes of 24 px or more), and says
//     the sound, among all it can say, whose direction is nearest the target's; a sound it has
//     not said yet it expects to go where it means to.
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

#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "calibration/vowel_map.h"
#include "engine/agile_steering.h"
#include "engine/direction_strategy.h"
#include "pointing_world.h"

namespace sonlet {

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
       bool perfect_bearing, int click_max, bool practised);

  // The 13 trials of one distance and width, in the task's order, from the pointer on target 0.
  void Run(int distance, int width, std::vector<Trial>* trials);

  // Says the click as in a trial, at the earliest the user clicks after a stroke (a second of
  // "a", then a reaction time and the pointer standing still), and counts the engine's clicks.
  int64_t ClicksAfterStroke();

  int ClickPasses() const;

 private:
  Trial Select(double sx, double sy, double tx, double ty, int distance, int width);

  // What the user has learnt of how far a hold of the voice takes the pointer: the holds of
  // its recent strokes and how far each went, at each loudness.
  void Remember(double level, int hold, double moved);

  // The hold it plans for a distance: between the remembered holds that went just less and
  // just more than that far (or the click window's hold, which moves nothing); without a hold
  // that went farther, until it sees the pointer there.
  int Plan(double level, double distance) const;

  bool Settled(int pass, int quiet_since) const;

  void Aim(double ex, double ey, double radius, double* ux, double* uy,
           const std::vector<float>** sound, double* level);

  void Say(const std::vector<float>* sound, double above, size_t* at = nullptr);

  bool debug_ = std::getenv("POINTING_DEBUG") != nullptr;
  bool strokes_ = std::getenv("POINTING_STROKES") != nullptr;
  PassWatch watch_;
  Mode mode_;
  VoiceSounds* sounds_;
  double noise_;
  int click_max_;   // passes: a hold this short moves nothing, as the user knows
  bool practised_;  // whether it says the sound that has gone nearest the target's direction
  EngineSettings settings_;
  std::unique_ptr<MeantBearing> decision_;
  AgileSteering agile_;
  SpokenBlocks audio_;
  Pointer pointer_;
  QuietPanel quiet_;
  std::unique_ptr<VoiceEngine> engine_;
  std::vector<std::pair<int, int>> history_;
  std::map<int, std::vector<std::pair<int, double>>> memory_;
  // Where each sound has taken the pointer (the sum of its strokes' unit directions).
  std::map<const std::vector<float>*, std::pair<double, double>> headings_;
  std::mt19937_64 random_{12345};
};

}  // namespace sonlet
