// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cerrno>
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

// The pointer's buttons. The engine's own click is the left button's (LeftDown, LeftUp); the others
// come from the pointer actions the user chooses (right, middle, double click, drag, scroll).
enum class PointerButton { kLeft, kRight, kMiddle };

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

  // Any button. Every route sends all three; the defaults serve sinks that know only the left
  // button (a test's), refusing the others.
  virtual int ButtonDown(PointerButton button) {
    return button == PointerButton::kLeft ? LeftDown() : EOPNOTSUPP;
  }
  virtual int ButtonUp(PointerButton button) {
    return button == PointerButton::kLeft ? LeftUp() : EOPNOTSUPP;
  }
  // A whole click, and the left button's double click, handed over as one so that a log can name
  // them; a route sends the presses and releases at once, one after the other, well within any
  // desktop's double-click interval. The release always follows a press, even a refused one, so
  // that nothing is left held. 0, or the first error.
  virtual int Click(PointerButton button) {
    const int down = ButtonDown(button);
    const int up = ButtonUp(button);
    return down != 0 ? down : up;
  }
  virtual int DoubleClick() {
    const int first = Click(PointerButton::kLeft);
    const int second = Click(PointerButton::kLeft);
    return first != 0 ? first : second;
  }
  // Wheel scrolling in whole notches: positive dy scrolls down, positive dx to the right. A route
  // with a smooth or high-resolution form sends that beside the notches.
  virtual int Scroll(int /*dx*/, int /*dy*/) { return EOPNOTSUPP; }

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
