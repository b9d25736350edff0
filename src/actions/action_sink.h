// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
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
class ActionSink : public InputSink {
 public:
  // inner and listener must outlive the sink; listener may be null.
  ActionSink(InputSink& inner, ActionListener* listener);

  // Any thread; takes effect at the engine's next click or motion.
  void Choose(PointerAction action);
  PointerAction action() const;
  bool kept() const;

  void BeginPass(int64_t pass) override { inner_.BeginPass(pass); }
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
  InputSink& inner_;
  ActionListener* listener_;
  // The implementation's state (the action in force, kept, a drag's press, the scroll's
  // remainder) goes here.
};

}  // namespace sonlet
