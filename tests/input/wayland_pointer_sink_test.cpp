// SPDX-License-Identifier: GPL-3.0-or-later
// The wlroots virtual pointer against a real headless sway, watched by a client of the test's own.

#include "input/wayland_pointer_sink.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/headless_sway.h"
#include "support/wayland_observer.h"

namespace sonlet {

namespace {

struct Step {
  int dx;
  int dy;
};

// The button events among the records.
std::vector<std::string> Buttons(const std::vector<PointerRecord>& records) {
  std::vector<std::string> whats;
  for (const PointerRecord& r : records) {
    if (r.what == "press" || r.what == "release") whats.push_back(r.what);
  }
  return whats;
}

class WaylandPointerSinkTest : public testing::Test {
 protected:
  void SetUp() override {
    if (sway_.missing()) GTEST_SKIP() << sway_.error();
    ASSERT_TRUE(sway_.running()) << sway_.error();
    observer_ = std::make_unique<WaylandObserver>(sway_.socket());
    ASSERT_TRUE(observer_->ready()) << observer_->error();
    ASSERT_EQ(setenv("WAYLAND_DISPLAY", sway_.socket().c_str(), 1), 0);
  }
  void TearDown() override { unsetenv("WAYLAND_DISPLAY"); }

  HeadlessSway sway_;
  std::unique_ptr<WaylandObserver> observer_;
};

// Each motion moves the pointer by exactly its own amount: no acceleration, negative and zero
// steps included, small and large alike.
TEST_F(WaylandPointerSinkTest, MotionsMoveThePointerByExactlyTheirAmounts) {
  const std::vector<std::vector<Step>> sequences = {
      {{1, 0}, {1, 0}, {1, 0}},
      {{7, 0}, {0, 5}, {-3, -2}},
      {{0, 0}, {40, 0}, {0, 0}},
      {{-25, 13}, {25, -13}, {9, 9}},
  };
  const int start_x = observer_->width() / 2;
  const int start_y = observer_->height() / 2;
  for (const std::vector<Step>& steps : sequences) {
    ASSERT_TRUE(observer_->PlacePointer(start_x, start_y));
    observer_->ClearRecords();
    std::string why;
    std::unique_ptr<WaylandPointerSink> sink = WaylandPointerSink::Open(&why);
    ASSERT_NE(sink, nullptr) << why;
    int x = start_x;
    int y = start_y;
    for (const Step& step : steps) {
      EXPECT_EQ(sink->Move(step.dx, step.dy), 0);
      x += step.dx;
      y += step.dy;
    }
    sink.reset();
    ASSERT_TRUE(observer_->Settle());
    const std::vector<PointerRecord> records = observer_->Records();
    const PointerRecord* at = LastPosition(records);
    ASSERT_NE(at, nullptr);
    EXPECT_EQ(at->x, x) << "after " << steps.size() << " steps";
    EXPECT_EQ(at->y, y) << "after " << steps.size() << " steps";
  }
}

TEST_F(WaylandPointerSinkTest, ButtonPressAndReleaseReachTheSurfaceAsTheLeftButton) {
  ASSERT_TRUE(observer_->PlacePointer(100, 100));
  observer_->ClearRecords();
  std::string why;
  std::unique_ptr<WaylandPointerSink> sink = WaylandPointerSink::Open(&why);
  ASSERT_NE(sink, nullptr) << why;
  EXPECT_EQ(sink->LeftDown(), 0);
  EXPECT_EQ(sink->LeftUp(), 0);
  EXPECT_EQ(sink->LeftDown(), 0);
  EXPECT_EQ(sink->LeftUp(), 0);
  sink.reset();
  ASSERT_TRUE(observer_->Settle());
  const std::vector<PointerRecord> records = observer_->Records();
  EXPECT_EQ(Buttons(records), (std::vector<std::string>{"press", "release", "press", "release"}));
  for (const PointerRecord& r : records) {
    if (r.what == "press" || r.what == "release") {
      EXPECT_EQ(r.button, 272u);
    }
  }
}

// A sink that goes while it holds the button lets it go: the compositor would keep it down.
TEST_F(WaylandPointerSinkTest, ClosingWhileTheButtonIsDownReleasesIt) {
  ASSERT_TRUE(observer_->PlacePointer(100, 100));
  observer_->ClearRecords();
  std::string why;
  std::unique_ptr<WaylandPointerSink> sink = WaylandPointerSink::Open(&why);
  ASSERT_NE(sink, nullptr) << why;
  EXPECT_EQ(sink->LeftDown(), 0);
  sink.reset();
  ASSERT_TRUE(observer_->Settle());
  EXPECT_EQ(Buttons(observer_->Records()), (std::vector<std::string>{"press", "release"}));
}

// Every button, the double click and the wheel, as the surface hears them: evdev's codes, the
// buttons held when the sink goes let go, the two clicks of a double click at one place and
// within a toolkit's double-click time (GTK's 400 ms), and each notch a wheel's, with libinput's
// 15 units of smooth scrolling beside the discrete step.
TEST_F(WaylandPointerSinkTest, ButtonsDoubleClickAndWheelReachTheSurface) {
  struct Case {
    const char* name;
    std::function<void(WaylandPointerSink&)> act;
    std::vector<std::string> buttons;  // "press 273", ...
    int down_notches;
    int right_notches;
  };
  const auto right = PointerButton::kRight;
  const auto middle = PointerButton::kMiddle;
  const Case cases[] = {
      {"right and middle clicks",
       [&](WaylandPointerSink& s) {
         EXPECT_EQ(s.Click(right), 0);
         EXPECT_EQ(s.Click(middle), 0);
       },
       {"press 273", "release 273", "press 274", "release 274"},
       0,
       0},
      {"held when the sink goes",
       [&](WaylandPointerSink& s) {
         EXPECT_EQ(s.ButtonDown(middle), 0);
         EXPECT_EQ(s.ButtonDown(PointerButton::kLeft), 0);
         EXPECT_EQ(s.ButtonDown(right), 0);
         EXPECT_EQ(s.ButtonUp(right), 0);
       },
       {"press 274", "press 272", "press 273", "release 273", "release 272", "release 274"},
       0,
       0},
      {"double click",
       [](WaylandPointerSink& s) { EXPECT_EQ(s.DoubleClick(), 0); },
       {"press 272", "release 272", "press 272", "release 272"},
       0,
       0},
      {"five notches down", [](WaylandPointerSink& s) { EXPECT_EQ(s.Scroll(0, 5), 0); }, {}, 5, 0},
      {"up and left", [](WaylandPointerSink& s) { EXPECT_EQ(s.Scroll(-2, -3), 0); }, {}, -3, -2},
  };
  int y = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // A new place each time: the surface hears of a placing only when the pointer moves.
    ASSERT_TRUE(observer_->PlacePointer(100, y += 10));
    observer_->ClearRecords();
    std::string why;
    std::unique_ptr<WaylandPointerSink> sink = WaylandPointerSink::Open(&why);
    ASSERT_NE(sink, nullptr) << why;
    c.act(*sink);
    sink.reset();
    ASSERT_TRUE(observer_->Settle());
    const std::vector<PointerRecord> records = observer_->Records();
    std::vector<std::string> buttons;
    std::vector<unsigned> press_times;
    double smooth[2] = {0, 0};
    for (const PointerRecord& r : records) {
      EXPECT_NE(r.what, "motion") << "the pointer moved";
      if (r.what == "press") press_times.push_back(r.time);
      if (r.what == "press" || r.what == "release") {
        buttons.push_back(r.what + " " + std::to_string(r.button));
      }
      if (r.what == "axis-source") {
        EXPECT_EQ(r.button, 0u) << "not a wheel";
      }
      if (r.what == "axis" && r.button < 2) smooth[r.button] += r.x;
    }
    EXPECT_EQ(buttons, c.buttons);
    if (press_times.size() == 2) {
      EXPECT_LT(press_times[1] - press_times[0], 400u);
    }
    EXPECT_EQ(Notches(records, 0), c.down_notches);
    EXPECT_EQ(Notches(records, 1), c.right_notches);
    EXPECT_EQ(smooth[0], 15.0 * c.down_notches);
    EXPECT_EQ(smooth[1], 15.0 * c.right_notches);
  }
}

// A compositor that stops reading (frozen here with SIGSTOP) must not freeze the engine or the
// program's end with it: once the socket is full, events fail instead of waiting for ever, and
// closing the sink, which waits for the compositor's answer, comes back too.
TEST_F(WaylandPointerSinkTest, FrozenCompositorMakesEventsFailAndClosingReturn) {
  std::string why;
  std::unique_ptr<WaylandPointerSink> sink = WaylandPointerSink::Open(&why);
  ASSERT_NE(sink, nullptr) << why;
  ASSERT_EQ(kill(sway_.pid(), SIGSTOP), 0);
  int error = 0;
  for (int i = 0; i < 1000000 && error == 0; ++i) error = sink->Move(1, 0);
  EXPECT_TRUE(error == ETIMEDOUT || error == EAGAIN) << error;
  sink->LeftDown();  // held: closing tries to release it, and gives up in time
  sink.reset();
  ASSERT_EQ(kill(sway_.pid(), SIGCONT), 0);
}

std::vector<std::string> Keys(const std::vector<PointerRecord>& records) {
  std::vector<std::string> keys;
  for (const PointerRecord& r : records) {
    if (r.what == "key-press" || r.what == "key-release") {
      keys.push_back(r.what + " " + std::to_string(r.button));
    }
  }
  return keys;
}

bool KeyboardEntered(const std::vector<PointerRecord>& records) {
  for (const PointerRecord& r : records) {
    if (r.what == "keyboard-enter") return true;
  }
  return false;
}

// ENTER reaches the focused surface as the evdev key 28, through the virtual keyboard. The sink
// waits for nothing, so the test lets the surface get the new keyboard first.
TEST_F(WaylandPointerSinkTest, EnterReachesTheFocusedSurfaceAsKeyEnter) {
  observer_->ClearRecords();
  std::string why;
  std::unique_ptr<WaylandPointerSink> sink = WaylandPointerSink::Open(&why);
  ASSERT_NE(sink, nullptr) << why;
  ASSERT_TRUE(sink->has_keyboard());
  ASSERT_TRUE(observer_->WaitFor(KeyboardEntered, std::chrono::seconds(10)));
  EXPECT_EQ(sink->EnterDown(), 0);
  EXPECT_EQ(sink->EnterUp(), 0);
  // Held when the sink goes: the surface must see it let go (the sink releases it, and sway
  // also releases the keys of a keyboard that goes).
  EXPECT_EQ(sink->EnterDown(), 0);
  sink.reset();
  ASSERT_TRUE(observer_->Settle());
  EXPECT_EQ(Keys(observer_->Records()),
            (std::vector<std::string>{"key-press 28", "key-release 28", "key-press 28",
                                      "key-release 28"}));
}

TEST(WaylandPointerSinkOpen, SaysWhyWhenThereIsNoCompositor) {
  struct Case {
    const char* wayland_display;  // null: unset
    const char* reason;
  };
  const Case cases[] = {
      {nullptr, "WAYLAND_DISPLAY is not set"},
      {"", "WAYLAND_DISPLAY is not set"},
      {"/nonexistent/wayland-77", "cannot connect to the Wayland compositor"},
  };
  for (const Case& c : cases) {
    if (c.wayland_display == nullptr) {
      unsetenv("WAYLAND_DISPLAY");
    } else {
      setenv("WAYLAND_DISPLAY", c.wayland_display, 1);
    }
    std::string why;
    EXPECT_EQ(WaylandPointerSink::Open(&why), nullptr);
    EXPECT_NE(why.find(c.reason), std::string::npos) << why;
  }
  unsetenv("WAYLAND_DISPLAY");
}

}  // namespace

}  // namespace sonlet
