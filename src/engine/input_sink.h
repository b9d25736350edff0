// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace sonlet {

// Where the engine's pointer and key events go: the desktop's input queue, a log, or nowhere.
// Events arrive in the order they must reach the desktop. Each returns 0 when the event went
// out, or the error number (errno) with which the desktop refused it.
// What a sink that queues events for a slow desktop could not hand over as they came.
struct DeliveryShortfall {
  int64_t merged_motions = 0;  // motions sent joined to a later one: the sum still arrived
  int64_t lost_events = 0;     // events the desktop never took (or never confirmed taking)
};

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

  // A refusal found out after its event was taken: a sink that queues its events hears from the
  // desktop later. 0, or the error number, each refusal once. Asked after every taken event.
  virtual int LateRefusal() { return 0; }

  // Whether the desktop's end has gone for good (the X server or the compositor ended, the
  // remote-desktop session closed): no later event can reach it. Asked after a refused event.
  virtual bool Lost() const { return false; }

  // Hands over what is still queued, within a short bounded time, and lets go of anything held;
  // afterwards Shortfall() is final. Called once the engine has stopped; sinks that send each
  // event as it comes have nothing to do.
  virtual void Finish() {}
  virtual DeliveryShortfall Shortfall() const { return {}; }
};

}  // namespace sonlet
