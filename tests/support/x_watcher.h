// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ostream>
#include <string>
#include <vector>

struct _XDisplay;

namespace sonlet {

struct ScreenPoint {
  int x = 0;
  int y = 0;
  bool operator==(const ScreenPoint&) const = default;
};

// For test messages: "(x, y)".
inline void PrintTo(const ScreenPoint& p, std::ostream* out) {
  *out << "(" << p.x << ", " << p.y << ")";
}

// What a test window was sent: "press 1", "release 1", "key-press Return", "key-release Return"
// (the button number, 4 to 7 for the wheel, or the key's X name), "motion" while a button is held,
// where the pointer was on the screen, and the server's time of it in milliseconds.
struct WindowEvent {
  std::string what;
  ScreenPoint at;
  unsigned long time = 0;
};

// The test's own X client: sets the scene (pointer position, a window with the keyboard focus)
// and reads back what reached the server. Its connection stays open as long as it lives.
class XWatcher {
 public:
  explicit XWatcher(const std::string& display);
  ~XWatcher();
  XWatcher(const XWatcher&) = delete;
  XWatcher& operator=(const XWatcher&) = delete;

  bool connected() const { return display_ != nullptr; }

  ScreenPoint Pointer();
  void WarpPointer(ScreenPoint to);
  // Makes the X server scale pointer motion steeply: 10 times beyond 1 unit per event.
  void SetSteepAcceleration();

  // Maps a window at (x, y), gives it the keyboard focus (a bare server has no window manager to
  // do that) and records the button and key events it gets.
  void OpenWindow(int x, int y, int width, int height);
  // The window's events since the last call, in the order the server sent them.
  std::vector<WindowEvent> WindowEvents();
  // The raw relative motions the server passed on since the last call, in order: what each
  // motion request carried, before any acceleration, including motions of (0, 0).
  std::vector<ScreenPoint> RawMotions();

  bool LeftButtonDown();
  // The buttons held now, among 1 (left), 2 (middle) and 3 (right).
  std::vector<int> HeldButtons();
  bool ReturnKeyDown();

 private:
  // Waits for the server to answer, then files every event that came before the answer.
  void Collect();

  _XDisplay* display_ = nullptr;
  unsigned long window_ = 0;
  int xinput_opcode_ = -1;
  std::vector<WindowEvent> window_events_;
  std::vector<ScreenPoint> raw_motions_;
};

// The events' `what`s, for comparing a sequence at a glance.
std::vector<std::string> Whats(const std::vector<WindowEvent>& events);
// The `what`s of a press and release of each button in turn.
std::vector<std::string> PressesAndReleases(const std::vector<int>& buttons);

}  // namespace sonlet
