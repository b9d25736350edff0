#include "cli/event_log.h"

#include <cinttypes>

void LogSink::move(int dx, int dy) {
  std::fprintf(out_, "%" PRId64 "\tmove %d %d\n", pass_, dx, dy);
}

// A press and its release make one line: the engine always sends them as a pair.
void LogSink::left_down() { left_is_down_ = true; }

void LogSink::left_up() {
  if (left_is_down_) std::fprintf(out_, "%" PRId64 "\tclick\n", pass_);
  left_is_down_ = false;
}

void LogSink::enter_down() { enter_is_down_ = true; }

void LogSink::enter_up() {
  if (enter_is_down_) std::fprintf(out_, "%" PRId64 "\tenter\n", pass_);
  enter_is_down_ = false;
}
