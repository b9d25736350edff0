// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <mutex>

#include "actions/pointer_action.h"
#include "engine/input_sink.h"

namespace sonlet {

// Hears of every change of the action in force: a choice, and the return to kLeft once a chosen
// action is done. Called on the thread that made the change (the engine's, or the chooser's);
// must not call back into the sink.
class ActionListener {
 public:
  virtual ~ActionListener() = default;
  // kept: the action stays in force after it is done (it was chosen twice in a row).
  virtual void ActionChanged(PointerAction action, bool kept) = 0;
};

// Stands between the engine and the output and turns the engine's click into the action the user
// chose (from the palette, the bus or the command line). With kLeft in force every event passes
// through unchanged, so a run that never chooses another action sends exactly what it would
// without this sink.
//
//   kRight, kMiddle  the click becomes that button's click
//   kDouble          the click becomes the left button's double click
//   kDrag            the first click presses the left button, steering moves with it held, the
//                    next click releases it
//   kScroll          steering scrolls instead of moving (up, down, left, right), louder faster;
//                    the next click ends scrolling and clicks nothing
//
// A chosen action is done once, then kLeft is in force again; choosing the same action twice in a
// row keeps it until another is chosen. A click that presses ENTER (the user's click action) is
// taken by a chosen action the same way as a left click.
//
// The action takes the engine's click at its press; the release that follows is swallowed. A
// drag that holds the button when another action is chosen is finished first: the next click
// releases it, and the click after that performs the new choice. A drag also holds across a
// stop of listening (a pause to talk mid-drag); the end of the run lets go. Kept scrolling
// alternates: a click ends scrolling (sending nothing), the pointer steers again, and the next
// click passes through as the user's own click and starts scrolling again, so that the user can
// always steer back to the palette.
class ActionSink : public InputSink {
 public:
  // Scrolling: a notch for every 36 pixels of steering, at most one per axis in three passes.
  // The default speeds steer 2 to 10 pixels a pass (about 100 to 530 a second), which then
  // scroll 3 to 15 notches a second, a page of text in one to five seconds; quicker steering
  // (the agile cruise of 42 pixels a pass) stops at 18 a second, which the eye can still follow.
  // Motion beyond the cap is dropped, not saved up, so scrolling stops when the vowel does, and
  // each vowel starts afresh.
  static constexpr int kPixelsPerNotch = 36;
  static constexpr int kPassesPerNotch = 3;

  // inner and listener must outlive the sink; listener may be null.
  ActionSink(InputSink& inner, ActionListener* listener);

  // Any thread; takes effect at the engine's next click or motion.
  void Choose(PointerAction action);
  PointerAction action() const;
  bool kept() const;

  void BeginPass(int64_t pass) override {
    pass_ = pass;
    inner_.BeginPass(pass);
  }
  int Move(int dx, int dy) override;
  int LeftDown() override;
  int LeftUp() override;
  int EnterDown() override;
  int EnterUp() override;
  int ButtonDown(PointerButton button) override { return inner_.ButtonDown(button); }
  int ButtonUp(PointerButton button) override { return inner_.ButtonUp(button); }
  int Click(PointerButton button) override { return inner_.Click(button); }
  int DoubleClick() override { return inner_.DoubleClick(); }
  int Scroll(int dx, int dy) override { return inner_.Scroll(dx, dy); }
  int LateRefusal() override { return inner_.LateRefusal(); }
  bool Lost() const override { return inner_.Lost(); }
  // Releases a button a drag still holds, then lets the inner sink finish.
  void Finish() override;
  DeliveryShortfall Shortfall() const override { return inner_.Shortfall(); }

 private:
  // What a click's press turns into.
  enum class Deed { kPass, kClick, kDouble, kPress, kRelease, kNothing };
  struct Taken {
    Deed deed = Deed::kPass;
    PointerButton button = PointerButton::kLeft;  // for kClick
  };
  Taken TakeClick();
  // The press of a click (the left button's or ENTER's), and its release.
  int Press(int (InputSink::*own)(), bool* up_passes);
  int Release(int (InputSink::*own)(), bool* up_passes);
  // With mutex_ held.
  void Done();  // kLeft again once a chosen action is done, unless it is kept
  void Tell();
  bool Scrolling() const;
  int ScrollBy(int dx, int dy);

  InputSink& inner_;
  ActionListener* listener_;

  mutable std::mutex mutex_;
  PointerAction action_ = PointerAction::kLeft;
  bool kept_ = false;
  // Kept scrolling, between the click that ended it and the next click.
  bool scroll_resting_ = false;

  // The engine's thread alone.
  bool drag_held_ = false;
  // Whether the release of a click's press goes on to the desktop: a click's press that the
  // chosen action took has its release swallowed. By left button and ENTER.
  bool left_up_passes_ = true;
  bool enter_up_passes_ = true;
  int64_t pass_ = 0;
  bool scrolling_ = false;
  int scroll_pixels_[2] = {};  // by axis, x and y: steering not yet scrolled
  int64_t last_notch_pass_[2] = {};
  int64_t last_scroll_pass_ = 0;
};

}  // namespace sonlet
