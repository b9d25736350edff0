// SPDX-License-Identifier: GPL-3.0-or-later
#include "actions/action_sink.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace sonlet {

namespace {

const char* kButtons[] = {"left", "right", "middle"};

// The desktop and the listener in one: what reached each, "; " between two.
class Recorder : public InputSink, public ActionListener {
 public:
  int Move(int dx, int dy) override { return Take("move " + Pair(dx, dy)); }
  int LeftDown() override { return Take("left down"); }
  int LeftUp() override { return Take("left up"); }
  int EnterDown() override { return Take("enter down"); }
  int EnterUp() override { return Take("enter up"); }
  int ButtonDown(PointerButton b) override { return Take("press " + Name(b)); }
  int ButtonUp(PointerButton b) override { return Take("release " + Name(b)); }
  int Click(PointerButton b) override { return Take("click " + Name(b)); }
  int DoubleClick() override { return Take("double"); }
  int Scroll(int dx, int dy) override { return Take("scroll " + Pair(dx, dy)); }
  void Finish() override { Take("finish"); }
  void ActionChanged(PointerAction action, bool kept) override {
    heard += (heard.empty() ? "" : "; ") + std::string(ActionName(action)) + (kept ? " kept" : "");
  }

  std::string sent, heard;

 private:
  static std::string Name(PointerButton b) { return kButtons[static_cast<int>(b)]; }
  static std::string Pair(int a, int b) { return std::to_string(a) + " " + std::to_string(b); }
  int Take(const std::string& event) {
    sent += (sent.empty() ? "" : "; ") + event;
    return 0;
  }
};

// Steps, one a pass: an action's name chooses it; "click" and "enter" are the engine's click as
// the left button or ENTER; "move" a step of 5 pixels right; "finish" the end of the run.
void Play(ActionSink& sink, const std::string& steps) {
  std::istringstream words(steps);
  int64_t pass = 0;
  for (std::string step; words >> step;) {
    sink.BeginPass(pass++);
    if (step == "click") {
      EXPECT_EQ(sink.LeftDown() + sink.LeftUp(), 0);
    } else if (step == "enter") {
      EXPECT_EQ(sink.EnterDown() + sink.EnterUp(), 0);
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

TEST(ActionSink, TurnsTheClickIntoTheChosenActionOnceOrKept) {
  struct Case {
    const char* steps;
    const char* sent;   // what reached the desktop
    const char* heard;  // what the listener was told
    const char* after;  // the action then in force
  };
  const Case cases[] = {
      {"click enter move finish", "left down; left up; enter down; enter up; move 5 0; finish", "",
       "left"},
      {"right click click", "click right; left down; left up", "right; left", "left"},
      {"right right click click right", "click right; click right", "right; right kept", "right"},
      // ENTER, the user's own click, is taken the same way.
      {"middle enter enter", "click middle; enter down; enter up", "middle; left", "left"},
      {"double click", "double", "double; left", "left"},
      {"drag click move move click click",
       "press left; move 5 0; move 5 0; release left; left down; left up", "drag; left", "left"},
      // A choice made during a drag waits for its release.
      {"drag click right move click click click",
       "press left; move 5 0; release left; click right; left down; left up", "drag; right; left",
       "left"},
      {"drag click scroll move click move", "press left; move 5 0; release left", "drag; scroll",
       "scroll"},
      {"drag click left click click", "press left; release left; left down; left up", "drag; left",
       "left"},
      // A click ends scrolling and sends nothing.
      {"scroll click move click", "move 5 0; left down; left up", "scroll; left", "left"},
  };
  for (const Case& c : cases) {
    Recorder recorder;
    ActionSink sink(recorder, &recorder);
    Play(sink, c.steps);
    EXPECT_EQ(recorder.sent, c.sent) << c.steps;
    EXPECT_EQ(recorder.heard, c.heard) << c.steps;
    EXPECT_EQ(ActionName(sink.action()), c.after) << c.steps;
  }
}

TEST(ActionSink, ScrollsAsFastAsItSteersWithinAReadableRate) {
  constexpr double kPassesPerSecond = 8000.0 / 150.0;
  constexpr int kPasses = 267;  // five seconds
  // The default speeds' slowest and quickest step, and the agile cruise, pixels a pass, each
  // way; the notches a second they must give.
  const struct {
    int dx, dy;
    double least, most;
  } cases[] = {{0, 2, 2.5, 4.0},  {0, -10, 10.0, 15.5}, {10, 0, 10.0, 15.5},
               {-2, 0, 2.5, 4.0}, {0, 42, 15.5, 20.0},  {-42, 0, 15.5, 20.0}};
  for (const auto& c : cases) {
    Recorder recorder;
    ActionSink sink(recorder, nullptr);
    sink.Choose(PointerAction::kScroll);
    // Steering pass by pass, `moves` steps in each (a guard's held-back steps come at once);
    // the notches it gave, each checked to go the steering's way.
    int64_t pass = 0;
    const auto steer = [&](int passes, int moves, int dx, int dy) {
      int notches = 0;
      for (int p = 0; p < passes; ++p) {
        sink.BeginPass(pass++);
        recorder.sent.clear();
        for (int m = 0; m < moves; ++m) sink.Move(dx, dy);
        if (recorder.sent.empty()) continue;
        EXPECT_EQ(recorder.sent.find(';'), std::string::npos) << "two notches in a pass";
        int x = 0, y = 0;
        EXPECT_EQ(std::sscanf(recorder.sent.c_str(), "scroll %d %d", &x, &y), 2) << recorder.sent;
        EXPECT_TRUE(x * dx >= 0 && y * dy >= 0 && (dx != 0 || x == 0) && (dy != 0 || y == 0))
            << recorder.sent << " steering " << dx << "," << dy;
        notches += std::abs(x) + std::abs(y);
      }
      return notches;
    };
    const double rate = steer(kPasses, 1, c.dx, c.dy) * kPassesPerSecond / kPasses;
    EXPECT_GE(rate, c.least) << c.dx << "," << c.dy;
    EXPECT_LE(rate, c.most) << c.dx << "," << c.dy;
    EXPECT_LE(steer(3, 8, c.dx, c.dy), 1);
    // What steering gave over the rate is not saved up: after a pause a small step scrolls
    // nothing.
    pass += 60;
    EXPECT_EQ(steer(1, 1, c.dx / 2, c.dy / 2), 0) << c.dx << "," << c.dy;
  }
}

}  // namespace
}  // namespace sonlet
