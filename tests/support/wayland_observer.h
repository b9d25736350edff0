// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

struct wl_display;

namespace sonlet {

// What the observer's surface was sent by the compositor: "enter", "motion" (at x, y in surface
// coordinates, which equal output coordinates for a surface that fills the output), "leave",
// "press" / "release" of `button`, "keyboard-enter", or "key-press" / "key-release" of the key
// whose evdev code is in `button`. Scrolling: "axis-source" (the source in `button`), and for the
// axis in `button` (0 vertical, 1 horizontal) "axis" (the smooth value in x), "axis-discrete"
// (the notches in x) or, to clients of wl_seat version 8, "axis-value120" (120 a notch, in x).
// `time` is the event's time stamp in milliseconds, where it has one.
struct PointerRecord {
  std::string what;
  double x = 0;
  double y = 0;
  unsigned button = 0;
  unsigned time = 0;
};

// The notches scrolled on `axis` (0 vertical, 1 horizontal), down and right positive: the
// discrete steps, or value120 in whole notches, whichever the compositor sent.
double Notches(const std::vector<PointerRecord>& records, unsigned axis);

// The buttons among the records, in a log's words: every press and release in order, as
// "press left" or "release middle" (evdev's codes, other codes by number), and how far the
// pointer moved while some button was held.
struct HeardButtons {
  std::vector<std::string> changes;
  double held_dx = 0;
  double held_dy = 0;
  std::vector<unsigned> press_times;  // each press's time stamp
};
HeardButtons ButtonsHeard(const std::vector<PointerRecord>& records);

// The last "enter" or "motion" among the records, which holds where the pointer is; null when
// there is none.
const PointerRecord* LastPosition(const std::vector<PointerRecord>& records);

// The test's own Wayland client, for sway and for mutter: a fullscreen surface (app_id
// "sonlet-observer") that records the pointer and keyboard events it gets, read on a thread of
// its own so that the compositor never waits for it. Where the compositor has the wlroots
// virtual pointer (sway, not mutter) or grants the test KWin's fake input, it can also place the
// pointer.
class WaylandObserver {
 public:
  explicit WaylandObserver(const std::string& socket);
  ~WaylandObserver();
  WaylandObserver(const WaylandObserver&) = delete;
  WaylandObserver& operator=(const WaylandObserver&) = delete;

  // Whether the surface is up, fills the output and has stopped moving.
  bool ready() const { return ready_; }
  const std::string& error() const { return error_; }
  int width() const { return width_; }
  int height() const { return height_; }

  // Puts the pointer at (x, y) and waits until the surface sees it there; false where the
  // compositor has no wlroots virtual pointer and does not grant this process KWin's fake input.
  bool PlacePointer(int x, int y);
  // Waits until the compositor has sent this client everything it owed before now: after a
  // client that sent events has ended, everything they caused has then been recorded.
  bool Settle();
  // Waits until `done` holds for the records; false when `limit` passed first. The limit only
  // keeps a failing test from hanging.
  bool WaitFor(const std::function<bool(const std::vector<PointerRecord>&)>& done,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

  std::vector<PointerRecord> Records();
  void ClearRecords();

  // Called from the protocol listeners on the reading thread.
  struct State;

 private:
  void Read();

  State* state_ = nullptr;
  wl_display* display_ = nullptr;
  std::thread reader_;
  int wake_fds_[2] = {-1, -1};
  bool ready_ = false;
  std::string error_;
  int width_ = 0;
  int height_ = 0;
};

}  // namespace sonlet
