#pragma once

#include "engine/input_sink.h"

// Sends nothing: for measuring the engine alone.
class NullSink : public InputSink {
 public:
  void move(int, int) override {}
  void left_down() override {}
  void left_up() override {}
  void enter_down() override {}
  void enter_up() override {}
};
