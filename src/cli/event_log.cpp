#include "cli/event_log.h"

#include <cinttypes>

namespace sonlet {

void LogSink::Move(int dx, int dy) {
  std::fprintf(out_, "%" PRId64 "\tmove %d %d\n", pass_, dx, dy);
}

// A press and its release make one line: the engine always sends them as a pair.
void LogSink::LeftDown() { left_is_down_ = true; }

void LogSink::LeftUp() {
  if (left_is_down_) std::fprintf(out_, "%" PRId64 "\tclick\n", pass_);
  left_is_down_ = false;
}

void LogSink::EnterDown() { enter_is_down_ = true; }

void LogSink::EnterUp() {
  if (enter_is_down_) std::fprintf(out_, "%" PRId64 "\tenter\n", pass_);
  enter_is_down_ = false;
}

}  // namespace sonlet
