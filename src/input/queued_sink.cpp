// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/queued_sink.h"

#include <cerrno>
#include <utility>

namespace sonlet {

QueuedSink::QueuedSink(std::unique_ptr<InputSink> inner, std::function<void()> abandon,
                       Limits limits)
    : inner_(std::move(inner)),
      abandon_(std::move(abandon)),
      limits_(limits),
      last_taken_(std::chrono::steady_clock::now()),
      sender_([this] { Send(); }) {}

QueuedSink::~QueuedSink() {
  Finish();
  // inner_ goes now, on this thread: it lets go of anything the desktop still holds.
}

int QueuedSink::Move(int dx, int dy) { return Queue({Kind::kMove, dx, dy}); }
int QueuedSink::LeftDown() { return ButtonDown(PointerButton::kLeft); }
int QueuedSink::LeftUp() { return ButtonUp(PointerButton::kLeft); }
int QueuedSink::ButtonDown(PointerButton button) {
  return Queue({Kind::kButtonDown, 0, 0, button});
}
int QueuedSink::ButtonUp(PointerButton button) { return Queue({Kind::kButtonUp, 0, 0, button}); }
int QueuedSink::Scroll(int dx, int dy) { return Queue({Kind::kScroll, dx, dy}); }
int QueuedSink::EnterDown() { return Queue({Kind::kEnterDown}); }
int QueuedSink::EnterUp() { return Queue({Kind::kEnterUp}); }

int QueuedSink::Queue(Event event) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (lost_.load() || ending_) {
    ++shortfall_.lost_events;
    return lost_.load() ? lost_error_ : ECANCELED;
  }
  bool* press_dropped = nullptr;
  bool press = false;
  switch (event.kind) {
    case Kind::kMove:
    case Kind::kScroll:
      // Only a motion the sender has not taken yet can take this one in: the desktop is behind.
      if (!queue_.empty() && queue_.back().kind == event.kind) {
        queue_.back().dx += event.dx;
        queue_.back().dy += event.dy;
        ++shortfall_.merged_motions;
        return 0;
      }
      break;
    case Kind::kButtonDown:
    case Kind::kButtonUp:
      press_dropped = &button_press_dropped_[static_cast<int>(event.button)];
      press = event.kind == Kind::kButtonDown;
      break;
    case Kind::kEnterDown:
    case Kind::kEnterUp:
      press_dropped = &enter_press_dropped_;
      press = event.kind == Kind::kEnterDown;
      break;
  }
  if (press_dropped != nullptr) {
    const bool full = queue_.size() >= limits_.queue;
    if (press ? full : *press_dropped) {
      *press_dropped = press;
      ++shortfall_.lost_events;
      return ETIMEDOUT;
    }
  }
  // Motions past the bound are still taken: they merge, so the queue grows by presses only.
  queue_.push_back(event);
  woken_.notify_one();
  return 0;
}

int QueuedSink::LateRefusal() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(untold_error_, 0);
}

void QueuedSink::Send() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    woken_.wait(lock, [this] { return !queue_.empty() || ending_; });
    if (queue_.empty()) break;
    const Event event = queue_.front();
    queue_.pop_front();
    sending_ = true;
    lock.unlock();
    const int error = Deliver(event);
    const bool gone = error != 0 && inner_->Lost();
    lock.lock();
    sending_ = false;
    const auto now = std::chrono::steady_clock::now();
    if (error == 0) {
      last_taken_ = now;
    } else {
      ++shortfall_.lost_events;
      if (gone) {
        shortfall_.lost_events += static_cast<int64_t>(queue_.size());
        queue_.clear();
        lost_error_ = error;
        untold_error_ = error;
        lost_.store(true);
      } else if (error != ETIMEDOUT || now - last_taken_ >= limits_.unreachable) {
        // One late answer is a busy desktop, not a refusal: the user hears only of a desktop
        // that refuses, or stays silent.
        untold_error_ = error;
      }
    }
    if (queue_.empty()) drained_.notify_all();
  }
  drained_.notify_all();
}

int QueuedSink::Deliver(const Event& event) {
  switch (event.kind) {
    case Kind::kMove:
      return inner_->Move(event.dx, event.dy);
    case Kind::kButtonDown:
      // The left button through the engine's own press, as before there were others.
      return event.button == PointerButton::kLeft ? inner_->LeftDown()
                                                  : inner_->ButtonDown(event.button);
    case Kind::kButtonUp:
      return event.button == PointerButton::kLeft ? inner_->LeftUp()
                                                  : inner_->ButtonUp(event.button);
    case Kind::kEnterDown:
      return inner_->EnterDown();
    case Kind::kEnterUp:
      return inner_->EnterUp();
    case Kind::kScroll:
      return inner_->Scroll(event.dx, event.dy);
  }
  return EINVAL;
}

void QueuedSink::Finish() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!sender_.joinable()) return;
  ending_ = true;
  woken_.notify_one();
  const bool drained =
      drained_.wait_for(lock, limits_.finish, [this] { return queue_.empty() && !sending_; });
  if (!drained) {
    shortfall_.lost_events += static_cast<int64_t>(queue_.size());
    queue_.clear();
  }
  lock.unlock();
  if (!drained && abandon_) abandon_();
  sender_.join();
}

DeliveryShortfall QueuedSink::Shortfall() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shortfall_;
}

}  // namespace sonlet
