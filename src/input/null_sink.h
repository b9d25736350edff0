// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/input_sink.h"

namespace sonlet {

// Sends nothing: for measuring the engine alone.
class NullSink : public InputSink {
 public:
  int Move(int, int) override { return 0; }
  int LeftDown() override { return 0; }
  int LeftUp() override { return 0; }
  int EnterDown() override { return 0; }
  int EnterUp() override { return 0; }
  int ButtonDown(PointerButton) override { return 0; }
  int ButtonUp(PointerButton) override { return 0; }
  int Scroll(int, int) override { return 0; }
};

}  // namespace sonlet
