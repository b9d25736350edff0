// SPDX-License-Identifier: GPL-3.0-or-later
// The wlroots virtual pointer against a real headless sway, watched by a client of the test's own.

#include "input/wayland_pointer_sink.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <wayland-client-protocol.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
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

// Every button and the wheel as the surface hears them: evdev's codes, what is held when the sink
// goes let go, and each notch a wheel's (the source, the discrete step and libinput's 15 units),
// in both directions on both axes, the pointer still.
TEST_F(WaylandPointerSinkTest, ButtonsAndWheelReachTheSurfaceAndHeldButtonsAreLetGo) {
  ASSERT_TRUE(observer_->PlacePointer(100, 120));
  observer_->ClearRecords();
  std::string why;
  std::unique_ptr<WaylandPointerSink> sink = WaylandPointerSink::Open(&why);
  ASSERT_NE(sink, nullptr) << why;
  EXPECT_EQ(sink->ButtonDown(PointerButton::kMiddle), 0);
  EXPECT_EQ(sink->Click(PointerButton::kRight), 0);
  EXPECT_EQ(sink->ButtonDown(PointerButton::kLeft), 0);
  EXPECT_EQ(sink->Scroll(0, 5), 0);
  EXPECT_EQ(sink->Scroll(-2, -3), 0);
  sink.reset();
  ASSERT_TRUE(observer_->Settle());
  const std::vector<PointerRecord> records = observer_->Records();
  EXPECT_EQ(ButtonsHeard(records).changes,
            (std::vector<std::string>{"press middle", "press right", "release right", "press left",
                                      "release left", "release middle"}));
  EXPECT_EQ(Notches(records, 0), 2);
  EXPECT_EQ(Notches(records, 1), -2);
  double smooth[2] = {0, 0};
  std::vector<unsigned> sources;
  for (const PointerRecord& r : records) {
    EXPECT_NE(r.what, "motion") << "the pointer moved";
    if (r.what == "axis" && r.button < 2) smooth[r.button] += r.x;
    if (r.what == "axis-source") sources.push_back(r.button);
  }
  EXPECT_EQ(smooth[0], 15.0 * 2);
  EXPECT_EQ(smooth[1], 15.0 * -2);
  EXPECT_EQ(sources, std::vector<unsigned>(10, WL_POINTER_AXIS_SOURCE_WHEEL));
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
