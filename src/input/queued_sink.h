// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/input_sink.h"

namespace sonlet {

// Hands the engine's events to a thread of their own that passes them on to a desktop whose
// answers can be slow: GNOME's remote-desktop service over the bus, an X server that has frozen.
// The engine never waits for the desktop; its events wait in a bounded queue instead.
//
// While the desktop is behind, a motion joins the motion still waiting before it, so the pointer
// ends where the engine steered it. Presses and releases are never merged; only a queue full of
// them (a desktop that has answered nothing for a long while) drops a press, and then its release
// with it, so that nothing is left held. A release whose press went in always follows it.
//
// The engine hears of a refusal when the desktop stays unreachable, not when one answer is late,
// and at once when the desktop has gone for good (Lost()).
class QueuedSink : public InputSink {
 public:
  struct Limits {
    std::size_t queue = 256;  // events waiting; beyond it presses are dropped
    // An answer this late, or none this long, is a desktop the user must hear about.
    std::chrono::milliseconds unreachable{3000};
    // How long Finish lets what is queued go out before giving it up.
    std::chrono::milliseconds finish{800};
  };

  // inner: the sink that waits for the desktop; used from the sender thread only. abandon, when
  // given, must make a call into inner that is still waiting return at once (e.g. by shutting
  // its socket): Finish calls it, from another thread, on a desktop that did not drain in time.
  QueuedSink(std::unique_ptr<InputSink> inner, std::function<void()> abandon, Limits limits);
  QueuedSink(std::unique_ptr<InputSink> inner, std::function<void()> abandon)
      : QueuedSink(std::move(inner), std::move(abandon), Limits{}) {}
  ~QueuedSink() override;
  QueuedSink(const QueuedSink&) = delete;
  QueuedSink& operator=(const QueuedSink&) = delete;

  // Each queues its event and returns at once: 0, or the error for an event not queued (the
  // desktop has gone, or a queue full of presses).
  int Move(int dx, int dy) override;
  int LeftDown() override;
  int LeftUp() override;
  int EnterDown() override;
  int EnterUp() override;
  int ButtonDown(PointerButton button) override;
  int ButtonUp(PointerButton button) override;
  // Scrolls merge as motions do, so the notches all arrive.
  int Scroll(int dx, int dy) override;

  // What the sender met since it was last asked: a desktop that refuses, stays unreachable or
  // has gone.
  int LateRefusal() override;
  bool Lost() const override { return lost_.load(); }
  void Finish() override;
  DeliveryShortfall Shortfall() const override;

 private:
  enum class Kind { kMove, kButtonDown, kButtonUp, kEnterDown, kEnterUp, kScroll };
  struct Event {
    Kind kind;
    int dx = 0;
    int dy = 0;
    PointerButton button = PointerButton::kLeft;
  };

  int Queue(Event event);
  void Send();
  int Deliver(const Event& event);

  std::unique_ptr<InputSink> inner_;
  std::function<void()> abandon_;
  const Limits limits_;

  mutable std::mutex mutex_;
  std::condition_variable woken_;    // the sender: an event, or the end
  std::condition_variable drained_;  // Finish: the sender has nothing left
  std::deque<Event> queue_;
  bool sending_ = false;  // the sender is in a call to inner_
  bool ending_ = false;
  // The newest error the engine has not been told, once it counts as a refusal.
  int untold_error_ = 0;
  // The last time the desktop took an event, or the start.
  std::chrono::steady_clock::time_point last_taken_;
  bool button_press_dropped_[3] = {};  // by PointerButton
  bool enter_press_dropped_ = false;
  DeliveryShortfall shortfall_;
  std::atomic<bool> lost_{false};
  int lost_error_ = 0;
  std::thread sender_;
};

}  // namespace sonlet
