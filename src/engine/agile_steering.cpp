// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/agile_steering.h"

#include <algorithm>
#include <cmath>

namespace sonlet {

float AgileSteering::Cruise(int speed_step) {
  // The default speed (step 3) cruises at 42 px a pass, 2240 px a second; the fastest setting
  // at 66, the slowest at 24: each quick enough to cross a wide screen within two seconds.
  return 6.0f * static_cast<float>(std::clamp(speed_step, 0, 7) + 4);
}

float AgileSteering::Step(int held, int speed_step, int loudness_bonus) {
  const float cruise = Cruise(speed_step);
  const float share =
      std::min(1.0f, static_cast<float>(std::max(held, 0)) / static_cast<float>(kRampPasses));
  // Growing at an even rate: a user who stops the sound on seeing the pointer near the target
  // stops it a reaction time late, while the step still grows, and an even growth bounds what
  // that adds (about a third of the cruise at most, wherever on the ramp), where a ramp that
  // steepens towards the cruise overshoots most on the strokes that stop near its end.
  const float ramp = 1.0f + (cruise - 1.0f) * share;
  // Each 2 dB above the threshold adds a tenth; a voice near the threshold gives the ramp alone
  // and never a step backwards.
  const float loudness = 1.0f + 0.1f * static_cast<float>(std::clamp(loudness_bonus, 0, 20));
  return ramp * loudness;
}

PassEvent AgileSteering::Steer(const Pass& pass) {
  PassEvent event;
  // A run that ends at the upper click limit or later is not a click: steering may start at
  // the very pass the run reaches it.
  if (!pass.active || pass.run < pass.click_max) {
    carried_x_ = 0.0f;
    carried_y_ = 0.0f;
    return event;
  }
  if (pass.bearing.x == 0.0f && pass.bearing.y == 0.0f) return event;
  const float step = Step(pass.run - pass.click_max, pass.speed_step, pass.loudness_bonus);
  const float want_x = carried_x_ + step * pass.bearing.x;
  const float want_y = carried_y_ + step * pass.bearing.y;
  const int dx = static_cast<int>(std::trunc(want_x));
  const int dy = static_cast<int>(std::trunc(want_y));
  carried_x_ = want_x - static_cast<float>(dx);
  carried_y_ = want_y - static_cast<float>(dy);
  if (dx == 0 && dy == 0) return event;  // a fraction of a pixel so far: carried to the next
  event.kind = PassEvent::Kind::kMove;
  // Counted under the axis it moves along most.
  if (std::fabs(pass.bearing.x) >= std::fabs(pass.bearing.y)) {
    event.direction = pass.bearing.x > 0.0f ? Direction::kRight : Direction::kLeft;
  } else {
    event.direction = pass.bearing.y > 0.0f ? Direction::kDown : Direction::kUp;
  }
  event.dx = dx;
  event.dy = dy;
  return event;
}

AgileSteering::Bearing BearingOf(Direction direction) {
  const Motion motion = MotionFor(direction, 1);
  return {static_cast<float>(motion.dx), static_cast<float>(motion.dy)};
}

}  // namespace sonlet
