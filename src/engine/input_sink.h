#pragma once

#include <cstdint>

// Where the engine's pointer and key events go: the desktop's input queue, a log, or nowhere.
// Events arrive in the order they must reach the desktop.
class InputSink {
 public:
  virtual ~InputSink() = default;

  // Called at the start of every pass, before its events: lets a log say when they happened.
  virtual void begin_pass(int64_t /*pass*/) {}

  // Relative pointer motion: positive dx to the right, positive dy downwards. A (0, 0) motion is
  // still a motion.
  virtual void move(int dx, int dy) = 0;
  virtual void left_down() = 0;
  virtual void left_up() = 0;
  virtual void enter_down() = 0;
  virtual void enter_up() = 0;
};
