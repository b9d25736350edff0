// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace sonlet {

// The vowel regions that steer the pointer, on formants normalised to a 17.5 cm vocal tract:
// "a" (high F1) right, "i" (low F1, high F2) left, "e" (mid F1, high F2, said louder) up,
// "o" and "u" (low F2) down.

enum class Direction { kNone, kRight, kLeft, kUp, kDown };

// in: normalised F1 and F2 in Hz; in: the loudness bonus of the pass.
Direction DecideDirection(float f1, float f2, int loudness_bonus);

struct Motion {
  int dx = 0;  // positive to the right
  int dy = 0;  // positive downwards
};

// The motion of one pass in a direction, step units long. A negative step moves the other way.
Motion MotionFor(Direction direction, int step);

}  // namespace sonlet
