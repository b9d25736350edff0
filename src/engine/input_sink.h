#pragma once

#include <cstdint>

namespace sonlet {

// Where the engine's pointer and key events go: the desktop's input queue, a log, or nowhere.
// Events arrive in the order they must reach the desktop. Each returns 0 when the event went
// out, or the error number (errno) with which the desktop refused it.
class InputSink {
 public:
  virtual ~InputSink() = default;

  // Called at the start of every pass, before its events: lets a log say when they happened.
  virtual void BeginPass(int64_t /*pass*/) {}

  // Relative pointer motion: positive dx to the right, positive dy downwards. A (0, 0) motion is
  // still a motion.
  virtual int Move(int dx, int dy) = 0;
  virtual int LeftDown() = 0;
  virtual int LeftUp() = 0;
  virtual int EnterDown() = 0;
  virtual int EnterUp() = 0;
};

}  // namespace sonlet
