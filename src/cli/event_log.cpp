// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/event_log.h"

#include <cinttypes>

namespace sonlet {

namespace {

const char* ButtonName(PointerButton button) {
  switch (button) {
    case PointerButton::kLeft:
      return "left";
    case PointerButton::kRight:
      return "right";
    case PointerButton::kMiddle:
      return "middle";
  }
  return "left";
}

}  // namespace

int LogSink::Move(int dx, int dy) {
  out_.Print("%" PRId64 "\tmove %d %d\n", pass_, dx, dy);
  return 0;
}

// A press and its release make one line: the engine always sends them as a pair.
int LogSink::LeftDown() {
  left_is_down_ = true;
  return 0;
}

int LogSink::LeftUp() {
  if (left_is_down_) out_.Print("%" PRId64 "\tclick\n", pass_);
  left_is_down_ = false;
  return 0;
}

int LogSink::EnterDown() {
  enter_is_down_ = true;
  return 0;
}

int LogSink::EnterUp() {
  if (enter_is_down_) out_.Print("%" PRId64 "\tenter\n", pass_);
  enter_is_down_ = false;
  return 0;
}

int LogSink::ButtonDown(PointerButton button) {
  out_.Print("%" PRId64 "\tpress %s\n", pass_, ButtonName(button));
  return 0;
}

int LogSink::ButtonUp(PointerButton button) {
  out_.Print("%" PRId64 "\trelease %s\n", pass_, ButtonName(button));
  return 0;
}

// A whole left click reads as the engine's own, so that a reader needs one word for it.
int LogSink::Click(PointerButton button) {
  if (button == PointerButton::kLeft) {
    out_.Print("%" PRId64 "\tclick\n", pass_);
  } else {
    out_.Print("%" PRId64 "\tclick %s\n", pass_, ButtonName(button));
  }
  return 0;
}

int LogSink::DoubleClick() {
  out_.Print("%" PRId64 "\tdouble\n", pass_);
  return 0;
}

int LogSink::Scroll(int dx, int dy) {
  out_.Print("%" PRId64 "\tscroll %d %d\n", pass_, dx, dy);
  return 0;
}

void LogListening(OutputChannel& out, int64_t pass, bool listening) {
  out.Print("%" PRId64 "\t%s\n", pass, listening ? "resume" : "pause");
}

}  // namespace sonlet
