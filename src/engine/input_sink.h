#pragma once

#include <cstdint>

namespace sonlet {

// Where the engine's pointer and key events go: the desktop's input queue, a log, or nowhere.
// Events arrive in the order they must reach the desktop.
class InputSink {
 public:
  virtual ~InputSink() = default;

  // Called at the start of every pass, before its events: lets a log say when they happened.
  virtual void BeginPass(int64_t /*pass*/) {}

  // Relative pointer motion: positive dx to the right, positive dy downwards. A (0, 0) motion is
  // still a motion.
  virtual void Move(int dx, int dy) = 0;
  virtual void LeftDown() = 0;
  virtual void LeftUp() = 0;
  virtual void EnterDown() = 0;
  virtual void EnterUp() = 0;
};

}  // namespace sonlet
