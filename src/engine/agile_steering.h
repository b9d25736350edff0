// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "engine/direction_decision.h"
#include "engine/pass_record.h"

namespace sonlet {

// Quicker, finer steering, chosen by the user (opt-in): the pointer starts slowly and speeds up
// the longer a vowel is held, as the desktop's own pointer acceleration and mouse keys do, so a
// short hold nudges by a pixel or two and a long one crosses the screen in a second or two.
// Loudness adds speed but never turns the pointer back, and a held vowel moves from the first
// pass on which it can no longer be a click. With a calibration, a sound between two vowels of
// neighbouring directions moves between them. It lives beside the engine's own decision, which
// stays as it is when this is off; the engine calls it on the thread that runs it.
class AgileSteering {
 public:
  // Where the pass points: a unit vector, x to the right and y downwards; (0, 0) for nowhere.
  struct Bearing {
    float x = 0.0f;
    float y = 0.0f;
  };

  struct Pass {
    bool active = false;  // loud and pitched, as the run tracker counts it
    int run = 0;          // the run's length after this pass
    int click_max = 1;    // a run this long or longer can no longer be a click
    int speed_step = 0;   // the speed setting as the engine's step: 0..7
    int loudness_bonus = 0;
    Bearing bearing;
  };

  // The event of one pass; its motion is what the pointer should move.
  PassEvent Steer(const Pass& pass);

  // Pixels a pass moves after `held` passes of steering (0 for the first), at a speed step and
  // a loudness bonus: from one pixel up to the cruise, evenly over kRampPasses, times
  // the loudness. Never negative. Fractions are carried from pass to pass.
  static float Step(int held, int speed_step, int loudness_bonus);

  // The fastest a pass moves at a speed step, before loudness.
  static float Cruise(int speed_step);

  static constexpr int kRampPasses = 35;  // about 0.66 s to reach the cruise

 private:
  float carried_x_ = 0.0f;  // the fractions of a pixel not yet sent
  float carried_y_ = 0.0f;
};

// The axis bearing of one of the four directions.
AgileSteering::Bearing BearingOf(Direction direction);

}  // namespace sonlet
