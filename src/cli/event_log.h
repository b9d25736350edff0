#pragma once

#include <cstdint>
#include <cstdio>

#include "engine/input_sink.h"

namespace sonlet {

// Prints the events instead of sending them: one line each, the pass number, a tab, and
// "move DX DY", "click" (a left press and release) or "enter" (ENTER down and up). For trying
// the engine on recordings, and for tests.
class LogSink : public InputSink {
 public:
  explicit LogSink(std::FILE* out) : out_(out) {}

  void BeginPass(int64_t pass) override { pass_ = pass; }
  int Move(int dx, int dy) override;
  int LeftDown() override;
  int LeftUp() override;
  int EnterDown() override;
  int EnterUp() override;

 private:
  std::FILE* out_;
  int64_t pass_ = 0;
  bool left_is_down_ = false;
  bool enter_is_down_ = false;
};

}  // namespace sonlet
