#pragma once

#include "engine/input_sink.h"

namespace sonlet {

// Sends nothing: for measuring the engine alone.
class NullSink : public InputSink {
 public:
  void Move(int, int) override {}
  void LeftDown() override {}
  void LeftUp() override {}
  void EnterDown() override {}
  void EnterUp() override {}
};

}  // namespace sonlet
