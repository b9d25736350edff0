// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/x11_sink.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/x_watcher.h"
#include "support/xvfb_server.h"

namespace sonlet {

namespace {

// Each test gets its own X server, a watcher connected to it, and a sink on it.
class X11SinkTest : public testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<XvfbServer>();
    ASSERT_TRUE(server_->running()) << server_->error();
    watcher_ = std::make_unique<XWatcher>(server_->display());
    ASSERT_TRUE(watcher_->connected());
    std::string why;
    sink_ = X11Sink::Open(server_->display().c_str(), &why);
    ASSERT_NE(sink_, nullptr) << why;
  }

  std::unique_ptr<XvfbServer> server_;
  std::unique_ptr<XWatcher> watcher_;
  std::unique_ptr<X11Sink> sink_;
};

// XTEST relative motion is not accelerated by the X server: measured exact under Xvfb even with
// a steep acceleration set, which this test sets too. So the pointer ends exactly at the start
// plus the sum of what was sent (the moves stay clear of the screen's edges, which clamp).
TEST_F(X11SinkTest, MotionMovesThePointerByTheAmountSent) {
  watcher_->SetSteepAcceleration();
  const ScreenPoint start = {200, 300};
  watcher_->WarpPointer(start);

  sink_->Move(50, 15);
  EXPECT_EQ(watcher_->Pointer(), (ScreenPoint{start.x + 50, start.y + 15}));
  sink_->Move(-120, 40);
  EXPECT_EQ(watcher_->Pointer(), (ScreenPoint{start.x + 50 - 120, start.y + 15 + 40}));
}

// A motion of (0, 0) moves nothing but is still a motion: the server must get it, in its place.
TEST_F(X11SinkTest, ZeroMotionStillReachesTheServerInOrder) {
  const ScreenPoint start = {400, 400};
  watcher_->WarpPointer(start);

  const std::vector<ScreenPoint> sent = {{0, 0}, {7, -3}, {0, 0}};
  for (const ScreenPoint& m : sent) sink_->Move(m.x, m.y);
  EXPECT_EQ(watcher_->RawMotions(), sent);
  EXPECT_EQ(watcher_->Pointer(), (ScreenPoint{start.x + 7, start.y - 3}));
}

// The window under the pointer gets the button, the focused window the key. Where the pointer
// was at the press and at the key shows that each motion was taken before the event after it.
TEST_F(X11SinkTest, ClickAndEnterReachTheWindowInTheOrderSent) {
  watcher_->OpenWindow(100, 100, 300, 200);
  const ScreenPoint start = {150, 150};
  watcher_->WarpPointer(start);

  sink_->Move(20, 10);
  sink_->LeftDown();
  sink_->LeftUp();
  sink_->Move(-5, 0);
  sink_->EnterDown();
  sink_->EnterUp();

  const std::vector<WindowEvent> events = watcher_->WindowEvents();
  ASSERT_EQ(Whats(events), (std::vector<std::string>{"press 1", "release 1", "key-press Return",
                                                     "key-release Return"}));
  EXPECT_EQ(events[0].at, (ScreenPoint{start.x + 20, start.y + 10}));
  EXPECT_EQ(events[2].at, (ScreenPoint{start.x + 20 - 5, start.y + 10}));
}

// X's buttons: 2 middle, 3 right; the wheel a press and release of 4 up, 5 down, 6 left, 7 right
// per notch, vertical first.
TEST_F(X11SinkTest, EveryButtonAndWheelNotchReachesTheWindowWhereThePointerIs) {
  using P = PointerButton;
  const struct {
    std::function<int(X11Sink&)> send;
    std::vector<int> clicked;
  } cases[] = {
      {[](X11Sink& s) { return s.ButtonDown(P::kRight) | s.ButtonUp(P::kRight); }, {3}},
      {[](X11Sink& s) { return s.ButtonDown(P::kMiddle) | s.ButtonUp(P::kMiddle); }, {2}},
      {[](X11Sink& s) { return s.Click(P::kRight); }, {3}},
      {[](X11Sink& s) { return s.DoubleClick(); }, {1, 1}},
      {[](X11Sink& s) { return s.Scroll(0, 3); }, {5, 5, 5}},
      {[](X11Sink& s) { return s.Scroll(2, -1); }, {4, 7, 7}},
      {[](X11Sink& s) { return s.Scroll(-1, 0); }, {6}},
      {[](X11Sink& s) { return s.Scroll(0, 0); }, {}},
  };
  watcher_->OpenWindow(100, 100, 300, 200);
  const ScreenPoint at = {150, 160};
  for (size_t i = 0; i < std::size(cases); ++i) {
    watcher_->WarpPointer(at);
    EXPECT_EQ(cases[i].send(*sink_), 0) << i;
    const std::vector<WindowEvent> events = watcher_->WindowEvents();
    EXPECT_EQ(Whats(events), PressesAndReleases(cases[i].clicked)) << i;
    for (const WindowEvent& e : events) EXPECT_EQ(e.at, at) << i << ": " << e.what;
    EXPECT_EQ(watcher_->HeldButtons(), std::vector<int>{}) << i;
  }
  EXPECT_EQ(sink_->Scroll(0, X11Sink::kMostNotches + 1), EINVAL);
}

// The X server keeps a button or key held by a client that disconnects: closing the sink must
// release them itself.
TEST_F(X11SinkTest, WhatIsHeldIsReleasedWhenTheSinkCloses) {
  watcher_->OpenWindow(100, 100, 300, 200);
  watcher_->WarpPointer({150, 150});
  sink_->ButtonDown(PointerButton::kRight);
  sink_->LeftDown();
  sink_->ButtonDown(PointerButton::kMiddle);
  sink_->EnterDown();
  ASSERT_EQ(watcher_->HeldButtons(), (std::vector<int>{1, 2, 3}));
  ASSERT_TRUE(watcher_->ReturnKeyDown());

  sink_.reset();
  EXPECT_EQ(watcher_->HeldButtons(), std::vector<int>{});
  EXPECT_FALSE(watcher_->ReturnKeyDown());
  EXPECT_EQ(
      Whats(watcher_->WindowEvents()),
      (std::vector<std::string>{"press 3", "press 1", "press 2", "key-press Return", "release 1",
                                "release 3", "release 2", "key-release Return"}));
}

TEST(X11SinkOpen, SaysWhyWhenTheServerIsGoneOrHasNoXtest) {
  // Not a display a stopped test server had: the tests running beside this one take the lowest
  // free numbers, and one of them could serve it again before Open looks.
  const std::string gone_display = ":32767";
  ASSERT_NE(access("/tmp/.X11-unix/X32767", F_OK), 0) << "an X server serves " << gone_display;
  std::string why;
  EXPECT_EQ(X11Sink::Open(gone_display.c_str(), &why), nullptr);
  EXPECT_NE(why.find("'" + gone_display + "'"), std::string::npos) << why;

  XvfbServer without_xtest({"-extension", "XTEST"});
  ASSERT_TRUE(without_xtest.running()) << without_xtest.error();
  why.clear();
  EXPECT_EQ(X11Sink::Open(without_xtest.display().c_str(), &why), nullptr);
  EXPECT_NE(why.find("XTEST"), std::string::npos) << why;
}

}  // namespace

}  // namespace sonlet
