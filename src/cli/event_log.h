// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

#include "cli/output_channel.h"
#include "engine/input_sink.h"

namespace sonlet {

// Prints the events instead of sending them: one line each, the pass number, a tab, and
//   move DX DY        a motion (right and down positive)
//   click             a left press and release: the engine's click, or a whole left click
//   enter             ENTER down and up
//   press BUTTON      a button pressed and held: left, right or middle
//   release BUTTON    and let go
//   click BUTTON      a whole click of the right or middle button
//   double            the left button's double click
//   scroll DX DY      wheel notches, down and right positive
// For trying the engine on recordings, for programs that read the events, and for tests. A
// write that fails is the channel's to report; the engine is told the event went out.
class LogSink : public InputSink {
 public:
  // out must outlive the sink.
  explicit LogSink(OutputChannel& out) : out_(out) {}

  void BeginPass(int64_t pass) override { pass_ = pass; }
  int Move(int dx, int dy) override;
  int LeftDown() override;
  int LeftUp() override;
  int EnterDown() override;
  int EnterUp() override;
  int ButtonDown(PointerButton button) override;
  int ButtonUp(PointerButton button) override;
  int Click(PointerButton button) override;
  int DoubleClick() override;
  int Scroll(int dx, int dy) override;

 private:
  OutputChannel& out_;
  int64_t pass_ = 0;
  bool left_is_down_ = false;
  bool enter_is_down_ = false;
};

// The log's line for the pause gesture: the pass number, a tab, and "pause" when listening
// stopped or "resume" when it started again, in the events' own format, so that a program
// reading the events knows why the pointer stands still.
void LogListening(OutputChannel& out, int64_t pass, bool listening);

}  // namespace sonlet
