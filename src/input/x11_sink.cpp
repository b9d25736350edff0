// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/x11_sink.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <sys/socket.h>

#include <cerrno>
#include <cstdlib>

namespace sonlet {

namespace {

constexpr unsigned int kXButtons[] = {1, 3, 2};  // by PointerButton: left, right, middle
constexpr unsigned int kWheelUp = 4;
constexpr unsigned int kWheelDown = 5;
constexpr unsigned int kWheelLeft = 6;
constexpr unsigned int kWheelRight = 7;

unsigned int XButton(PointerButton button) { return kXButtons[static_cast<int>(button)]; }

// Xlib's own handler prints a line of its own and ends the process; the sink's exit handler
// decides instead, and the program says what happened in its own words.
int QuietIOError(Display*) { return 0; }

}  // namespace

std::unique_ptr<X11Sink> X11Sink::Open(const char* display_name, std::string* why) {
  if (display_name == nullptr) {
    display_name = std::getenv("DISPLAY");
    if (display_name == nullptr || *display_name == '\0') {
      *why = "DISPLAY is not set, so there is no X session to send events to";
      return nullptr;
    }
  }
  Display* display = XOpenDisplay(display_name);
  if (display == nullptr) {
    *why = std::string("cannot connect to the X display '") + display_name +
           "' (is its X server running, and may this user connect to it? see DISPLAY and "
           "XAUTHORITY)";
    return nullptr;
  }
  int event_base = 0;
  int error_base = 0;
  int major = 0;
  int minor = 0;
  if (!XTestQueryExtension(display, &event_base, &error_base, &major, &minor)) {
    *why = std::string("the X server of '") + DisplayString(display) +
           "' has no XTEST extension, which synthetic input needs";
    XCloseDisplay(display);
    return nullptr;
  }
  const KeyCode return_keycode = XKeysymToKeycode(display, XK_Return);
  if (return_keycode == 0) {
    *why = std::string("the keyboard map of the X display '") + DisplayString(display) +
           "' has no Return key";
    XCloseDisplay(display);
    return nullptr;
  }
  return std::unique_ptr<X11Sink>(new X11Sink(display, return_keycode));
}

X11Sink::X11Sink(_XDisplay* display, unsigned int return_keycode)
    : display_(display), return_keycode_(return_keycode), display_name_(DisplayString(display)) {
  // A lost connection must not end the program from inside Xlib (exit(1), no summary, a trace
  // cut short): the exit handler only marks the sink lost and returns, after which Xlib refuses
  // further requests on the display instead of exiting.
  XSetIOErrorHandler(QuietIOError);
  XSetIOErrorExitHandler(display_, &X11Sink::OnConnectionLost, this);
}

X11Sink::~X11Sink() {
  for (PointerButton button :
       {PointerButton::kLeft, PointerButton::kRight, PointerButton::kMiddle}) {
    if (button_is_down_[static_cast<int>(button)]) ButtonUp(button);
  }
  if (enter_is_down_) EnterUp();
  // A connection broken by Abandon while no event was under way is found out here, by a round
  // trip on this thread, which then frees the display as Lose does; XCloseDisplay is left only
  // a live connection.
  if (Sync() == 0) XCloseDisplay(display_);
}

void X11Sink::OnConnectionLost(_XDisplay*, void* sink) {
  static_cast<X11Sink*>(sink)->lost_.store(true);
}

void X11Sink::Abandon() {
  // The socket stays open until XCloseDisplay: only its traffic stops, so the waiting read sees
  // the end of the connection, and no descriptor number is freed for reuse under Xlib.
  std::lock_guard<std::mutex> lock(display_mutex_);
  if (display_ != nullptr) shutdown(ConnectionNumber(display_), SHUT_RDWR);
}

// XSync waits for the server's answer, by which time it has processed every request before it.
// The server has no way to refuse these requests; only a lost connection fails them.
int X11Sink::Sync() {
  if (!lost_.load()) XSync(display_, False);
  return lost_.load() ? Lose() : 0;
}

int X11Sink::Lose() {
  // Xlib leaves the display held by the thread that met the broken connection: that thread
  // alone can free it, and the events come on one thread.
  std::lock_guard<std::mutex> lock(display_mutex_);
  if (display_ != nullptr) XCloseDisplay(display_);
  display_ = nullptr;
  return EPIPE;
}

// A motion of (0, 0) moves nothing, so X11 windows get no MotionNotify, but the server still
// passes it to clients that ask for raw motion (XInput 2 RawMotion), as it would a mouse's.
int X11Sink::Move(int dx, int dy) {
  if (lost_.load()) return Lose();
  XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime);
  return Sync();
}

void X11Sink::Queue(unsigned int x_button, bool press) {
  XTestFakeButtonEvent(display_, x_button, press ? True : False, CurrentTime);
}

int X11Sink::LeftDown() { return ButtonDown(PointerButton::kLeft); }

int X11Sink::LeftUp() { return ButtonUp(PointerButton::kLeft); }

int X11Sink::ButtonDown(PointerButton button) {
  if (lost_.load()) return Lose();
  Queue(XButton(button), true);
  button_is_down_[static_cast<int>(button)] = true;
  return Sync();
}

int X11Sink::ButtonUp(PointerButton button) {
  if (lost_.load()) return Lose();
  Queue(XButton(button), false);
  button_is_down_[static_cast<int>(button)] = false;
  return Sync();
}

int X11Sink::Scroll(int dx, int dy) {
  if (dx < -kMostNotches || dx > kMostNotches || dy < -kMostNotches || dy > kMostNotches) {
    return EINVAL;
  }
  if (lost_.load()) return Lose();
  const auto notches = [this](int count, unsigned int negative, unsigned int positive) {
    for (int n = 0; n < (count < 0 ? -count : count); ++n) {
      Queue(count < 0 ? negative : positive, true);
      Queue(count < 0 ? negative : positive, false);
    }
  };
  notches(dy, kWheelUp, kWheelDown);
  notches(dx, kWheelLeft, kWheelRight);
  return Sync();
}

int X11Sink::EnterDown() {
  if (lost_.load()) return Lose();
  XTestFakeKeyEvent(display_, return_keycode_, True, CurrentTime);
  enter_is_down_ = true;
  return Sync();
}

int X11Sink::EnterUp() {
  if (lost_.load()) return Lose();
  XTestFakeKeyEvent(display_, return_keycode_, False, CurrentTime);
  enter_is_down_ = false;
  return Sync();
}

}  // namespace sonlet
