// SPDX-License-Identifier: GPL-3.0-or-later
// KWin's fake input against a real headless KWin, watched by a client of the test's own: every
// button, ENTER, and what is left held when the sink closes.

#include "input/kwin_fake_input_sink.h"

#include <gtest/gtest.h>
#include <linux/input-event-codes.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/headless_kwin.h"
#include "support/wayland_observer.h"

namespace sonlet {

namespace {

std::string Heard(const char* what, unsigned code) { return what + (" " + std::to_string(code)); }

// The presses and releases of buttons and keys among the records, in order.
std::vector<std::string> ButtonsAndKeys(const std::vector<PointerRecord>& records) {
  std::vector<std::string> heard;
  for (const PointerRecord& r : records) {
    if (r.what == "press" || r.what == "release" || r.what == "key-press" ||
        r.what == "key-release") {
      heard.push_back(Heard(r.what.c_str(), r.button));
    }
  }
  return heard;
}

// The sink runs in this process: KWin grants the fake input to the test program itself.
TEST(KWinFakeInputSinkTest, EveryButtonAndEnterArriveAndNothingStaysHeld) {
  HeadlessKWin kwin({std::filesystem::read_symlink("/proc/self/exe")});
  if (kwin.missing()) GTEST_SKIP() << kwin.error();
  ASSERT_TRUE(kwin.running()) << kwin.error();
  WaylandObserver observer(kwin.socket());
  ASSERT_TRUE(observer.ready()) << observer.error();
  ASSERT_TRUE(observer.WaitFor([](const std::vector<PointerRecord>& records) {
    for (const PointerRecord& r : records) {
      if (r.what == "keyboard-enter") return true;
    }
    return false;
  }));
  ASSERT_EQ(setenv("WAYLAND_DISPLAY", kwin.socket().c_str(), 1), 0);

  struct Case {
    const char* name;
    std::function<int(KWinFakeInputSink&)> send;  // 0 when every event went out
    std::vector<std::string> heard;
  };
  const Case cases[] = {
      {"right click",
       [](KWinFakeInputSink& s) { return s.Click(PointerButton::kRight); },
       {Heard("press", BTN_RIGHT), Heard("release", BTN_RIGHT)}},
      // Closing releases what is still held, left and middle alike.
      {"left and middle held at the end",
       [](KWinFakeInputSink& s) {
         const int middle = s.ButtonDown(PointerButton::kMiddle);
         return middle != 0 ? middle : s.ButtonDown(PointerButton::kLeft);
       },
       {Heard("press", BTN_MIDDLE), Heard("press", BTN_LEFT), Heard("release", BTN_LEFT),
        Heard("release", BTN_MIDDLE)}},
      {"ENTER",
       [](KWinFakeInputSink& s) {
         const int down = s.EnterDown();
         return down != 0 ? down : s.EnterUp();
       },
       {Heard("key-press", KEY_ENTER), Heard("key-release", KEY_ENTER)}},
      {"ENTER held at the end",
       [](KWinFakeInputSink& s) { return s.EnterDown(); },
       {Heard("key-press", KEY_ENTER), Heard("key-release", KEY_ENTER)}},
  };
  for (const Case& c : cases) {
    observer.ClearRecords();
    std::string why;
    std::unique_ptr<KWinFakeInputSink> sink = KWinFakeInputSink::Open(&why);
    ASSERT_NE(sink, nullptr) << why;
    EXPECT_TRUE(sink->has_keyboard());
    EXPECT_EQ(c.send(*sink), 0) << c.name;
    sink.reset();
    ASSERT_TRUE(observer.Settle());
    EXPECT_EQ(ButtonsAndKeys(observer.Records()), c.heard) << c.name;
  }
  unsetenv("WAYLAND_DISPLAY");
}

}  // namespace

}  // namespace sonlet
