// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/x_watcher.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

namespace sonlet {

namespace {

std::string KeyName(XKeyEvent* event) {
  const char* name = XKeysymToString(XLookupKeysym(event, 0));
  return name != nullptr ? name : "?";
}

}  // namespace

XWatcher::XWatcher(const std::string& display) {
  display_ = XOpenDisplay(display.c_str());
  if (display_ == nullptr) return;
  // Raw motion (XInput 2) shows every relative motion the server takes, even one that moves
  // nothing, which core MotionNotify events do not.
  int event_base = 0;
  int error_base = 0;
  int major = 2;
  int minor = 0;
  if (XQueryExtension(display_, "XInputExtension", &xinput_opcode_, &event_base, &error_base) &&
      XIQueryVersion(display_, &major, &minor) == Success) {
    unsigned char mask_bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(mask_bits, XI_RawMotion);
    XIEventMask mask = {XIAllMasterDevices, sizeof mask_bits, mask_bits};
    XISelectEvents(display_, DefaultRootWindow(display_), &mask, 1);
  }
  XSync(display_, False);
}

XWatcher::~XWatcher() {
  if (display_ != nullptr) XCloseDisplay(display_);
}

ScreenPoint XWatcher::Pointer() {
  Window root;
  Window child;
  ScreenPoint at;
  int window_x;
  int window_y;
  unsigned int mask;
  XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &at.x, &at.y, &window_x,
                &window_y, &mask);
  return at;
}

void XWatcher::WarpPointer(ScreenPoint to) {
  XWarpPointer(display_, None, DefaultRootWindow(display_), 0, 0, 0, 0, to.x, to.y);
  Collect();
  raw_motions_.clear();  // the warp is the scene, not a motion under test
  window_events_.clear();
}

void XWatcher::SetSteepAcceleration() {
  XChangePointerControl(display_, True, True, 10, 1, 1);
  XSync(display_, False);
}

void XWatcher::OpenWindow(int x, int y, int width, int height) {
  Display* d = display_;
  window_ = XCreateSimpleWindow(d, DefaultRootWindow(d), x, y, static_cast<unsigned int>(width),
                                static_cast<unsigned int>(height), 0, 0, 0);
  XSelectInput(
      d, window_,
      ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | KeyPressMask | KeyReleaseMask);
  XMapWindow(d, window_);
  XSync(d, False);  // without a window manager the window is viewable once the map is done
  XSetInputFocus(d, window_, RevertToParent, CurrentTime);
  Collect();
}

void XWatcher::Collect() {
  XSync(display_, False);
  while (XPending(display_) > 0) {
    XEvent event;
    XNextEvent(display_, &event);
    switch (event.type) {
      case ButtonPress:
      case ButtonRelease:
        window_events_.push_back({(event.type == ButtonPress ? "press " : "release ") +
                                      std::to_string(event.xbutton.button),
                                  {event.xbutton.x_root, event.xbutton.y_root},
                                  event.xbutton.time});
        break;
      case MotionNotify:
        window_events_.push_back(
            {"motion", {event.xmotion.x_root, event.xmotion.y_root}, event.xmotion.time});
        break;
      case KeyPress:
      case KeyRelease:
        window_events_.push_back(
            {(event.type == KeyPress ? "key-press " : "key-release ") + KeyName(&event.xkey),
             {event.xkey.x_root, event.xkey.y_root},
             event.xkey.time});
        break;
      case GenericEvent:
        if (event.xcookie.extension == xinput_opcode_ && XGetEventData(display_, &event.xcookie)) {
          if (event.xcookie.evtype == XI_RawMotion) {
            const auto* raw = static_cast<const XIRawEvent*>(event.xcookie.data);
            double axes[2] = {0, 0};
            const double* value = raw->raw_values;
            for (int axis = 0; axis < raw->valuators.mask_len * 8; ++axis) {
              if (!XIMaskIsSet(raw->valuators.mask, axis)) continue;
              if (axis < 2) axes[axis] = *value;
              ++value;
            }
            raw_motions_.push_back({static_cast<int>(axes[0]), static_cast<int>(axes[1])});
          }
          XFreeEventData(display_, &event.xcookie);
        }
        break;
      default:
        break;
    }
  }
}

std::vector<WindowEvent> XWatcher::WindowEvents() {
  Collect();
  std::vector<WindowEvent> events;
  events.swap(window_events_);
  return events;
}

std::vector<ScreenPoint> XWatcher::RawMotions() {
  Collect();
  std::vector<ScreenPoint> motions;
  motions.swap(raw_motions_);
  return motions;
}

bool XWatcher::LeftButtonDown() {
  const std::vector<int> held = HeldButtons();
  return !held.empty() && held.front() == 1;
}

std::vector<int> XWatcher::HeldButtons() {
  Window root;
  Window child;
  int x;
  int y;
  unsigned int mask = 0;
  XQueryPointer(display_, DefaultRootWindow(display_), &root, &child, &x, &y, &x, &y, &mask);
  std::vector<int> held;
  const unsigned int masks[] = {Button1Mask, Button2Mask, Button3Mask};
  for (int button = 1; button <= 3; ++button) {
    if ((mask & masks[button - 1]) != 0) held.push_back(button);
  }
  return held;
}

bool XWatcher::ReturnKeyDown() {
  char keys[32];
  XQueryKeymap(display_, keys);
  const KeyCode code = XKeysymToKeycode(display_, XK_Return);
  return (keys[code / 8] & (1 << (code % 8))) != 0;
}

std::vector<std::string> Whats(const std::vector<WindowEvent>& events) {
  std::vector<std::string> result;
  for (const WindowEvent& e : events) result.push_back(e.what);
  return result;
}

std::vector<std::string> PressesAndReleases(const std::vector<int>& buttons) {
  std::vector<std::string> whats;
  for (int b : buttons) {
    whats.insert(whats.end(), {"press " + std::to_string(b), "release " + std::to_string(b)});
  }
  return whats;
}

}  // namespace sonlet
