// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

#include "engine/pass_record.h"
#include "gesture/hiss_detector.h"

namespace sonlet {

// The pause gesture as the engine's pass observer: a hiss of about a second stops listening,
// and another starts it again, so that the user can talk to someone without steering the
// pointer and come back without the panel. It hears every pass, listening or not, and leaves
// what to do to its owner, who switches listening with SetListening, as "Iniciar" and
// "Detener" do, and says so.
class PauseGesture : public PassObserver {
 public:
  // Called on the engine's thread, on the pass that completes a gesture: that pass's number and
  // whether the engine was listening in it.
  using Heard = std::function<void(int64_t pass, bool listening)>;

  // Every pass is handed on to next first (null for none), which must outlive the gesture.
  PauseGesture(PassObserver* next, Heard heard) : next_(next), heard_(std::move(heard)) {}

  // Off, the gesture is still followed but acts on nothing. Any thread.
  void SetEnabled(bool on) { enabled_.store(on, std::memory_order_relaxed); }

  void PassDone(const PassRecord& record) override;

 private:
  PassObserver* next_;
  Heard heard_;
  HissDetector detector_;
  std::atomic<bool> enabled_{true};
};

}  // namespace sonlet
