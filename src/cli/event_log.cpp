// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/event_log.h"

#include <cinttypes>

namespace sonlet {

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

void LogListening(OutputChannel& out, int64_t pass, bool listening) {
  out.Print("%" PRId64 "\t%s\n", pass, listening ? "resume" : "pause");
}

}  // namespace sonlet
