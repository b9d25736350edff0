// SPDX-License-Identifier: GPL-3.0-or-later
#include "actions/action_sink.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace sonlet {

namespace {

// Long enough before any pass that the first notch is never held back.
constexpr int64_t kNoNotchYet = std::numeric_limits<int64_t>::min() / 2;

}  // namespace

ActionSink::ActionSink(InputSink& inner, ActionListener* listener)
    : inner_(inner), listener_(listener), last_notch_pass_{kNoNotchYet, kNoNotchYet} {}

void ActionSink::Choose(PointerAction action) {
  std::lock_guard<std::mutex> lock(mutex_);
  // kLeft is the engine's own click: there is nothing to keep.
  const bool kept = action != PointerAction::kLeft && action == action_;
  const bool changed = action != action_ || kept != kept_;
  action_ = action;
  kept_ = kept;
  // Chosen again, scrolling starts again.
  scroll_resting_ = false;
  if (changed) Tell();
}

PointerAction ActionSink::action() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return action_;
}

bool ActionSink::kept() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return kept_;
}

// Under the lock, so that a chooser's change and the engine's return to kLeft reach the
// listener in the order they were made.
void ActionSink::Tell() {
  if (listener_ != nullptr) listener_->ActionChanged(action_, kept_);
}

void ActionSink::Done() {
  if (kept_ || action_ == PointerAction::kLeft) return;
  action_ = PointerAction::kLeft;
  Tell();
}

ActionSink::Taken ActionSink::TakeClick() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (drag_held_) {
    // Whatever was chosen meanwhile waits for the click after this one.
    drag_held_ = false;
    if (action_ == PointerAction::kDrag) Done();
    return {Deed::kRelease};
  }
  switch (action_) {
    case PointerAction::kLeft:
      return {Deed::kPass};
    case PointerAction::kRight:
      Done();
      return {Deed::kClick, PointerButton::kRight};
    case PointerAction::kMiddle:
      Done();
      return {Deed::kClick, PointerButton::kMiddle};
    case PointerAction::kDouble:
      Done();
      return {Deed::kDouble};
    case PointerAction::kDrag:
      drag_held_ = true;
      return {Deed::kPress};
    case PointerAction::kScroll:
      if (scroll_resting_) {
        scroll_resting_ = false;
        return {Deed::kPass};
      }
      if (kept_) {
        scroll_resting_ = true;
      } else {
        Done();
      }
      return {Deed::kNothing};
  }
  return {Deed::kPass};
}

int ActionSink::Press(int (InputSink::*own)(), bool* up_passes) {
  const Taken taken = TakeClick();
  *up_passes = taken.deed == Deed::kPass;
  switch (taken.deed) {
    case Deed::kPass:
      return (inner_.*own)();
    case Deed::kClick:
      return inner_.Click(taken.button);
    case Deed::kDouble:
      return inner_.DoubleClick();
    case Deed::kPress:
      return inner_.ButtonDown(PointerButton::kLeft);
    case Deed::kRelease:
      return inner_.ButtonUp(PointerButton::kLeft);
    case Deed::kNothing:
      break;
  }
  return 0;
}

int ActionSink::Release(int (InputSink::*own)(), bool* up_passes) {
  if (!*up_passes) {
    *up_passes = true;
    return 0;
  }
  return (inner_.*own)();
}

int ActionSink::LeftDown() { return Press(&InputSink::LeftDown, &left_up_passes_); }
int ActionSink::LeftUp() { return Release(&InputSink::LeftUp, &left_up_passes_); }
int ActionSink::EnterDown() { return Press(&InputSink::EnterDown, &enter_up_passes_); }
int ActionSink::EnterUp() { return Release(&InputSink::EnterUp, &enter_up_passes_); }

bool ActionSink::Scrolling() const {
  // A held drag goes on moving until its release, whatever was chosen meanwhile.
  return action_ == PointerAction::kScroll && !scroll_resting_ && !drag_held_;
}

int ActionSink::Move(int dx, int dy) {
  bool scrolling = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    scrolling = Scrolling();
  }
  if (!scrolling) {
    scrolling_ = false;
    return inner_.Move(dx, dy);
  }
  if (!scrolling_) {
    // Each stretch of scrolling starts afresh.
    scrolling_ = true;
    scroll_pixels_[0] = scroll_pixels_[1] = 0;
    last_notch_pass_[0] = last_notch_pass_[1] = kNoNotchYet;
  }
  return ScrollBy(dx, dy);
}

int ActionSink::ScrollBy(int dx, int dy) {
  // A pass without steering ended the vowel: the next one starts afresh, so that what one left
  // over never turns a short sound into a notch.
  if (pass_ - last_scroll_pass_ > 1) scroll_pixels_[0] = scroll_pixels_[1] = 0;
  last_scroll_pass_ = pass_;
  int notches[2] = {};
  const int pixels[2] = {dx, dy};
  for (int axis = 0; axis < 2; ++axis) {
    int& rest = scroll_pixels_[axis];
    const int d = pixels[axis];
    // A turn starts afresh rather than first working off what the other way left.
    if ((rest > 0 && d < 0) || (rest < 0 && d > 0)) rest = 0;
    rest += d;
    if (std::abs(rest) >= kPixelsPerNotch && pass_ - last_notch_pass_[axis] >= kPassesPerNotch) {
      notches[axis] = rest > 0 ? 1 : -1;
      rest -= notches[axis] * kPixelsPerNotch;
      last_notch_pass_[axis] = pass_;
    }
    rest = std::clamp(rest, -kPixelsPerNotch, kPixelsPerNotch);
  }
  if (notches[0] == 0 && notches[1] == 0) return 0;
  return inner_.Scroll(notches[0], notches[1]);
}

void ActionSink::Finish() {
  if (drag_held_) {
    inner_.ButtonUp(PointerButton::kLeft);
    std::lock_guard<std::mutex> lock(mutex_);
    drag_held_ = false;
    if (action_ == PointerAction::kDrag) Done();
  }
  inner_.Finish();
}

}  // namespace sonlet
