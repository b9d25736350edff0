// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/direction_decision.h"

namespace sonlet {

Direction DecideDirection(float f1, float f2, int loudness_bonus) {
  // The first row that holds decides; a pair in no region gives no motion rather than the
  // nearest direction, so that an unclear vowel never moves the pointer the wrong way. Values
  // that are not numbers fail every comparison and give no motion.
  if (f1 > 550.0f) return f2 > 850.0f ? Direction::kRight : Direction::kNone;
  if (!(f1 < 550.0f)) return Direction::kNone;  // exactly 550, or not a number
  if (f1 < 320.0f && f2 > 1800.0f) return Direction::kLeft;
  if (f2 > 1500.0f) {
    // Up asks for a voice at least 10 dB above the threshold: "e" lies close to "i" and "a".
    return (f1 >= 320.0f && loudness_bonus > 2) ? Direction::kUp : Direction::kNone;
  }
  if (f2 < 1000.0f) return Direction::kDown;
  return Direction::kNone;
}

Motion MotionFor(Direction direction, int step) {
  switch (direction) {
    case Direction::kRight:
      return {step, 0};
    case Direction::kLeft:
      return {-step, 0};
    case Direction::kUp:
      return {0, -step};
    case Direction::kDown:
      return {0, step};
    case Direction::kNone:
      break;
  }
  return {};
}

}  // namespace sonlet
