#include "input/x11_sink.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdlib>

namespace sonlet {

namespace {

constexpr unsigned int kLeftButton = 1;

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
    : display_(display), return_keycode_(return_keycode), display_name_(DisplayString(display)) {}

X11Sink::~X11Sink() {
  if (left_is_down_) LeftUp();
  if (enter_is_down_) EnterUp();
  XCloseDisplay(display_);
}

// XSync waits for the server's answer, by which time it has processed every request before it.
// The server has no way to refuse these requests (a lost connection ends the program through
// Xlib instead), so each event reports success. A motion of (0, 0) moves nothing, so X11 windows
// get no MotionNotify, but the server still passes it to clients that ask for raw motion
// (XInput 2 RawMotion), as it would a mouse's.
int X11Sink::Move(int dx, int dy) {
  XTestFakeRelativeMotionEvent(display_, dx, dy, CurrentTime);
  XSync(display_, False);
  return 0;
}

int X11Sink::LeftDown() {
  XTestFakeButtonEvent(display_, kLeftButton, True, CurrentTime);
  XSync(display_, False);
  left_is_down_ = true;
  return 0;
}

int X11Sink::LeftUp() {
  XTestFakeButtonEvent(display_, kLeftButton, False, CurrentTime);
  XSync(display_, False);
  left_is_down_ = false;
  return 0;
}

int X11Sink::EnterDown() {
  XTestFakeKeyEvent(display_, return_keycode_, True, CurrentTime);
  XSync(display_, False);
  enter_is_down_ = true;
  return 0;
}

int X11Sink::EnterUp() {
  XTestFakeKeyEvent(display_, return_keycode_, False, CurrentTime);
  XSync(display_, False);
  enter_is_down_ = false;
  return 0;
}

}  // namespace sonlet
