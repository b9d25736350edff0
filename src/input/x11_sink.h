// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "engine/input_sink.h"

struct _XDisplay;

namespace sonlet {

// Sends the engine's events to an X server through its XTEST extension, as if from the server's
// own test pointer and keyboard: relative motion, buttons 1 to 3 (left, middle, right), the wheel
// as buttons 4 to 7 (up, down, left, right), the Return key. They reach X11 windows only; on a
// Wayland desktop they reach no native window (uinput does).
class X11Sink : public InputSink {
 public:
  // Connects to the X display `display_name`, or to $DISPLAY when it is null. On failure returns
  // null with the reason, for the user, in *why.
  static std::unique_ptr<X11Sink> Open(const char* display_name, std::string* why);

  // Releases the buttons and Return that are down, then disconnects. The X server does not
  // release them for a client that goes away: without this they would stay down.
  ~X11Sink() override;
  X11Sink(const X11Sink&) = delete;
  X11Sink& operator=(const X11Sink&) = delete;

  // The display connected to, as Xlib names it (e.g. ":0").
  const std::string& display_name() const { return display_name_; }

  // Each returns once the X server has taken the event, so events reach it in the order sent and
  // none waits in a buffer: 0, or EPIPE once the connection is lost. A frozen server keeps them
  // waiting, so the program sends through a QueuedSink, whose thread alone calls these.
  int Move(int dx, int dy) override;
  int LeftDown() override;
  int LeftUp() override;
  int EnterDown() override;
  int EnterUp() override;
  int ButtonDown(PointerButton button) override;
  int ButtonUp(PointerButton button) override;
  // One press and release of a wheel button per notch, the vertical ones first. EINVAL for a
  // scroll larger than kMostNotches on an axis, which no user means.
  int Scroll(int dx, int dy) override;
  static constexpr int kMostNotches = 1000;

  // The connection broke (the X server ended, or Abandon was called): Xlib is not called again
  // on it.
  bool Lost() const override { return lost_.load(); }

  // Breaks the connection, from any thread, so that a call waiting for a frozen server returns
  // at once; the sink is lost from then on.
  void Abandon();

 private:
  X11Sink(_XDisplay* display, unsigned int return_keycode);
  // Sends what the request left in Xlib's buffer and waits for the server to take it.
  int Sync();
  // Queues a press or release of an X button (1 to 7) in Xlib's buffer, for the next Sync.
  void Queue(unsigned int x_button, bool press);
  // Frees the display of a lost connection, once; EPIPE.
  int Lose();
  static void OnConnectionLost(_XDisplay* display, void* sink);

  _XDisplay* display_;
  unsigned int return_keycode_;
  std::string display_name_;
  std::array<bool, 3> button_is_down_ = {};  // by PointerButton
  bool enter_is_down_ = false;
  std::atomic<bool> lost_{false};
  // Guards display_ between Lose, on the thread of the events, and Abandon, from any other.
  std::mutex display_mutex_;
};

}  // namespace sonlet
