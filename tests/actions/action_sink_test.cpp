// SPDX-License-Identifier: GPL-3.0-or-later
#include "actions/action_sink.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace sonlet {

namespace {

const char* ButtonWord(PointerButton button) {
  return button == PointerButton::kLeft    ? "left"
         : button == PointerButton::kRight ? "right"
                                           : "middle";
}

// The desktop: what reached it, one word each, whole clicks and double clicks as one.
class RecordingSink : public InputSink {
 public:
  int Move(int dx, int dy) override { return Take("move " + Pair(dx, dy)); }
  int LeftDown() override { return Take("left down"); }
  int LeftUp() override { return Take("left up"); }
  int EnterDown() override { return Take("enter down"); }
  int EnterUp() override { return Take("enter up"); }
  int ButtonDown(PointerButton b) override { return Take(std::string("press ") + ButtonWord(b)); }
  int ButtonUp(PointerButton b) override { return Take(std::string("release ") + ButtonWord(b)); }
  int Click(PointerButton b) override { return Take(std::string("click ") + ButtonWord(b)); }
  int DoubleClick() override { return Take("double"); }
  int Scroll(int dx, int dy) override { return Take("scroll " + Pair(dx, dy)); }
  void Finish() override { Take("finish"); }

  std::vector<std::string> events;

 private:
  static std::string Pair(int a, int b) { return std::to_string(a) + " " + std::to_string(b); }
  int Take(std::string event) {
    events.push_back(std::move(event));
    return 0;
  }
};

class RecordingListener : public ActionListener {
 public:
  void ActionChanged(PointerAction action, bool kept) override {
    heard.push_back(std::string(ActionName(action)) + (kept ? " kept" : ""));
  }
  std::vector<std::string> heard;
};

// Steps: an action's name chooses it; "click" and "enter" are the engine's click as the left
// button or ENTER (press and release in one pass); "move" a step of 5 pixels right in a pass of
// its own; "finish" the end of the run.
void Play(ActionSink& sink, const std::vector<std::string>& steps) {
  int64_t pass = 0;
  for (const std::string& step : steps) {
    sink.BeginPass(pass++);
    if (step == "click") {
      EXPECT_EQ(sink.LeftDown(), 0);
      EXPECT_EQ(sink.LeftUp(), 0);
    } else if (step == "enter") {
      EXPECT_EQ(sink.EnterDown(), 0);
      EXPECT_EQ(sink.EnterUp(), 0);
    } else if (step == "move") {
      EXPECT_EQ(sink.Move(5, 0), 0);
    } else if (step == "finish") {
      sink.Finish();
    } else {
      ASSERT_TRUE(ActionNamed(step)) << step;
      sink.Choose(*ActionNamed(step));
    }
  }
}

using Strings = std::vector<std::string>;

TEST(ActionSink, TurnsTheClickIntoTheChosenActionOnceOrKept) {
  struct Case {
    const char* what;
    Strings steps;
    Strings sent;   // what reached the desktop
    Strings heard;  // what the listener was told
    const char* after;
  };
  const Case cases[] = {
      {"the left click passes everything on",
       {"click", "enter", "move", "finish"},
       {"left down", "left up", "enter down", "enter up", "move 5 0", "finish"},
       {},
       "left"},
      {"once, then the left click again",
       {"right", "click", "click"},
       {"click right", "left down", "left up"},
       {"right", "left"},
       "left"},
      {"chosen twice, kept",
       {"right", "right", "click", "click", "right"},
       {"click right", "click right"},
       {"right", "right kept"},
       "right"},
      {"ENTER, the user's click, is taken the same way",
       {"middle", "enter", "enter"},
       {"click middle", "enter down", "enter up"},
       {"middle", "left"},
       "left"},
      {"double", {"double", "click"}, {"double"}, {"double", "left"}, "left"},
      {"a drag holds the button between two clicks",
       {"drag", "click", "move", "move", "click", "click"},
       {"press left", "move 5 0", "move 5 0", "release left", "left down", "left up"},
       {"drag", "left"},
       "left"},
      {"a kept drag presses again",
       {"drag", "drag", "click", "move", "click", "enter", "click"},
       {"press left", "move 5 0", "release left", "press left", "release left"},
       {"drag", "drag kept"},
       "drag"},
      {"the end of the run lets go of a drag",
       {"drag", "click", "move", "finish"},
       {"press left", "move 5 0", "release left", "finish"},
       {"drag", "left"},
       "left"},
      {"a choice during a drag waits for its release",
       {"drag", "click", "right", "move", "click", "click", "click"},
       {"press left", "move 5 0", "release left", "click right", "left down", "left up"},
       {"drag", "right", "left"},
       "left"},
      {"scrolling chosen during a drag starts once the drag is released",
       {"drag", "click", "scroll", "move", "click", "move"},
       {"press left", "move 5 0", "release left"},
       {"drag", "scroll"},
       "scroll"},
      {"left chosen during a drag still releases it",
       {"drag", "click", "left", "click", "click"},
       {"press left", "release left", "left down", "left up"},
       {"drag", "left"},
       "left"},
      {"scrolling ends at a click that sends nothing",
       {"scroll", "click", "move", "click"},
       {"move 5 0", "left down", "left up"},
       {"scroll", "left"},
       "left"},
      {"kept scrolling rests after a click, and the next click clicks and scrolls again",
       {"scroll", "scroll", "click", "move", "click"},
       {"move 5 0", "left down", "left up"},
       {"scroll", "scroll kept"},
       "scroll"},
  };
  for (const Case& c : cases) {
    RecordingSink desktop;
    RecordingListener listener;
    ActionSink sink(desktop, &listener);
    Play(sink, c.steps);
    EXPECT_EQ(desktop.events, c.sent) << c.what;
    EXPECT_EQ(listener.heard, c.heard) << c.what;
    EXPECT_EQ(ActionName(sink.action()), c.after) << c.what;
  }
}

// Steering of a given speed and direction, pass by pass, while scrolling.
struct Scrolled {
  int notches = 0;
  bool wrong_way = false;  // a notch on the other axis or against the steering
  bool two_in_a_pass = false;
};

Scrolled Scroll(ActionSink& sink, RecordingSink& desktop, int64_t* pass, int passes, int dx, int dy,
                int moves_a_pass = 1) {
  Scrolled scrolled;
  for (int p = 0; p < passes; ++p) {
    sink.BeginPass((*pass)++);
    desktop.events.clear();
    for (int m = 0; m < moves_a_pass; ++m) EXPECT_EQ(sink.Move(dx, dy), 0);
    for (const std::string& event : desktop.events) {
      if (event.rfind("scroll ", 0) != 0) {
        scrolled.wrong_way = true;
        continue;
      }
      const int x = std::stoi(event.substr(7));
      const int y = std::stoi(event.substr(event.rfind(' ')));
      scrolled.wrong_way |= x * dx < 0 || y * dy < 0 || (dx == 0 && x != 0) || (dy == 0 && y != 0);
      scrolled.notches += std::abs(x) + std::abs(y);
    }
    scrolled.two_in_a_pass |= desktop.events.size() > 1;
  }
  return scrolled;
}

TEST(ActionSink, ScrollsAsFastAsItSteersWithinAReadableRate) {
  constexpr double kPassesPerSecond = 8000.0 / 150.0;
  constexpr int kFiveSeconds = 267;
  struct Case {
    int dx, dy;          // the steering, pixels a pass
    double least, most;  // notches a second
  };
  // The default speeds' slowest and quickest step, and the agile cruise, each way.
  const Case cases[] = {
      {0, 2, 2.5, 4.0},  {0, -10, 10.0, 15.5}, {10, 0, 10.0, 15.5},
      {-2, 0, 2.5, 4.0}, {0, 42, 15.5, 20.0},  {-42, 0, 15.5, 20.0},
  };
  for (const Case& c : cases) {
    RecordingSink desktop;
    ActionSink sink(desktop, nullptr);
    sink.Choose(PointerAction::kScroll);
    int64_t pass = 0;
    const Scrolled s = Scroll(sink, desktop, &pass, kFiveSeconds, c.dx, c.dy);
    const double rate = s.notches * kPassesPerSecond / kFiveSeconds;
    EXPECT_GE(rate, c.least) << c.dx << "," << c.dy;
    EXPECT_LE(rate, c.most) << c.dx << "," << c.dy;
    EXPECT_FALSE(s.wrong_way) << c.dx << "," << c.dy;

    // Steps caught up within one pass still scroll one notch at most, and what steering gave
    // over the rate is not saved up: a pause and one small step scroll nothing.
    const Scrolled burst = Scroll(sink, desktop, &pass, 3, c.dx, c.dy, 8);
    EXPECT_FALSE(burst.two_in_a_pass || burst.wrong_way) << c.dx << "," << c.dy;
    EXPECT_LE(burst.notches, 1);
    pass += 60;
    EXPECT_EQ(Scroll(sink, desktop, &pass, 1, c.dx / 2, c.dy / 2).notches, 0);

    // A click ends scrolling: steering moves the pointer again.
    sink.LeftDown();
    sink.LeftUp();
    desktop.events.clear();
    sink.Move(c.dx, c.dy);
    EXPECT_EQ(desktop.events, Strings{"move " + std::to_string(c.dx) + " " + std::to_string(c.dy)});
  }
}

}  // namespace
}  // namespace sonlet
