// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>

#include "engine/input_sink.h"

namespace sonlet {

// Lets the engine's events through to another sink only while open: the panel closes it while
// the engine listens for something other than steering (a calibration), so that held vowels
// move nothing. Opened and closed from any thread; the events come on the engine's.
//
// A release whose press went through always follows it, even when the gate has closed in
// between, so that closing never leaves a button or a key held down.
class GatedSink : public InputSink {
 public:
  explicit GatedSink(InputSink& inner) : inner_(inner) {}

  void SetOpen(bool open) { open_.store(open, std::memory_order_relaxed); }
  bool open() const { return open_.load(std::memory_order_relaxed); }

  void BeginPass(int64_t pass) override { inner_.BeginPass(pass); }
  int Move(int dx, int dy) override { return open() ? inner_.Move(dx, dy) : 0; }
  int LeftDown() override { return Press(&held_[0], &InputSink::LeftDown); }
  int LeftUp() override { return Release(&held_[0], &InputSink::LeftUp); }
  int EnterDown() override { return Press(&enter_held_, &InputSink::EnterDown); }
  int EnterUp() override { return Release(&enter_held_, &InputSink::EnterUp); }
  int ButtonDown(PointerButton button) override {
    if (!open()) return 0;
    held_[static_cast<int>(button)] = true;
    return inner_.ButtonDown(button);
  }
  int ButtonUp(PointerButton button) override {
    bool& held = held_[static_cast<int>(button)];
    if (!held && !open()) return 0;
    held = false;
    return inner_.ButtonUp(button);
  }
  int Click(PointerButton button) override { return open() ? inner_.Click(button) : 0; }
  int DoubleClick() override { return open() ? inner_.DoubleClick() : 0; }
  int Scroll(int dx, int dy) override { return open() ? inner_.Scroll(dx, dy) : 0; }
  int LateRefusal() override { return inner_.LateRefusal(); }
  bool Lost() const override { return inner_.Lost(); }
  void Finish() override { inner_.Finish(); }
  DeliveryShortfall Shortfall() const override { return inner_.Shortfall(); }

 private:
  int Press(bool* held, int (InputSink::*press)()) {
    if (!open()) return 0;
    *held = true;
    return (inner_.*press)();
  }

  int Release(bool* held, int (InputSink::*release)()) {
    if (!*held && !open()) return 0;
    *held = false;
    return (inner_.*release)();
  }

  InputSink& inner_;
  std::atomic<bool> open_{true};
  bool held_[3] = {};  // by PointerButton; engine thread
  bool enter_held_ = false;
};

}  // namespace sonlet
