// SPDX-License-Identifier: GPL-3.0-or-later
#include "input/queued_sink.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace sonlet {

namespace {

using std::chrono::milliseconds;

// A desktop that answers only while the test lets it (Answer), as one slowed by a busy machine
// or frozen; from `refuse_from` events on it refuses with `error`, gone for good when `gone`.
class HeldDesktop : public InputSink {
 public:
  int Move(int dx, int dy) override {
    return Take("move " + std::to_string(dx) + " " + std::to_string(dy));
  }
  int LeftDown() override { return Take("left down"); }
  int LeftUp() override { return Take("left up"); }
  int EnterDown() override { return Take("enter down"); }
  int EnterUp() override { return Take("enter up"); }
  bool Lost() const override { return gone_; }

  void Answer() {
    std::lock_guard<std::mutex> lock(mutex_);
    answering_ = true;
    changed_.notify_all();
  }
  void RefuseFrom(size_t events, int error, bool gone) {
    std::lock_guard<std::mutex> lock(mutex_);
    refuse_from_ = events;
    error_ = error;
    gone_when_refusing_ = gone;
  }
  // What reached the desktop, in order.
  std::vector<std::string> Taken() {
    std::lock_guard<std::mutex> lock(mutex_);
    return taken_;
  }

 private:
  int Take(std::string event) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return answering_; });
    if (taken_.size() + refused_ >= refuse_from_) {
      ++refused_;
      gone_ = gone_when_refusing_;
      return error_;
    }
    taken_.push_back(std::move(event));
    return 0;
  }

  std::mutex mutex_;
  std::condition_variable changed_;
  bool answering_ = false;
  std::vector<std::string> taken_;
  size_t refused_ = 0;
  size_t refuse_from_ = SIZE_MAX;
  int error_ = 0;
  bool gone_when_refusing_ = false;
  bool gone_ = false;  // the sender's thread only
};

// The engine's steps: "m" a motion of (1, 2), "c" a click, "e" an ENTER stroke.
std::vector<int> Send(QueuedSink& sink, const std::string& steps) {
  std::vector<int> errors;
  for (char step : steps) {
    if (step == 'm') errors.push_back(sink.Move(1, 2));
    if (step == 'c') {
      errors.push_back(sink.LeftDown());
      errors.push_back(sink.LeftUp());
    }
    if (step == 'e') {
      errors.push_back(sink.EnterDown());
      errors.push_back(sink.EnterUp());
    }
  }
  return errors;
}

// The desktop's view: motions summed between presses ("move DX DY"), presses as they came.
std::vector<std::string> Summed(const std::vector<std::string>& taken) {
  std::vector<std::string> out;
  int dx = 0;
  int dy = 0;
  const auto flush = [&] {
    if (dx != 0 || dy != 0) out.push_back("move " + std::to_string(dx) + " " + std::to_string(dy));
    dx = dy = 0;
  };
  for (const std::string& event : taken) {
    int x = 0;
    int y = 0;
    if (std::sscanf(event.c_str(), "move %d %d", &x, &y) == 2) {
      dx += x;
      dy += y;
    } else {
      flush();
      out.push_back(event);
    }
  }
  flush();
  return out;
}

// While the desktop does not answer, the engine's events queue without waiting; motions merge,
// and once it answers every motion's sum and every press and release arrive, in order.
TEST(QueuedSink, SlowDesktopGetsEveryMotionsSumAndEveryPressInOrder) {
  const std::string steps = std::string(100, 'm') + "c" + std::string(50, 'm') + "e" + "mm";
  struct Case {
    const char* name;
    bool answer_before;  // the desktop keeps up, so nothing needs merging
  };
  for (const Case c : {Case{"slow", false}, Case{"keeping up", true}}) {
    auto desktop = std::make_unique<HeldDesktop>();
    HeldDesktop& seen = *desktop;
    if (c.answer_before) seen.Answer();
    QueuedSink sink(std::move(desktop), nullptr);
    std::vector<int> errors;
    for (char step : steps) {
      const std::vector<int> e = Send(sink, std::string(1, step));
      errors.insert(errors.end(), e.begin(), e.end());
      // A desktop that keeps up has taken each event before the next comes.
      if (c.answer_before) {
        while (seen.Taken().size() < errors.size()) std::this_thread::yield();
      }
    }
    EXPECT_EQ(errors, std::vector<int>(errors.size(), 0)) << c.name;
    seen.Answer();
    sink.Finish();
    EXPECT_EQ(Summed(seen.Taken()),
              (std::vector<std::string>{"move 100 200", "left down", "left up", "move 50 100",
                                        "enter down", "enter up", "move 2 4"}))
        << c.name;
    const DeliveryShortfall shortfall = sink.Shortfall();
    EXPECT_EQ(shortfall.lost_events, 0) << c.name;
    const int64_t moves_taken = static_cast<int64_t>(seen.Taken().size()) - 4;
    EXPECT_EQ(shortfall.merged_motions + moves_taken, 152) << c.name;
    EXPECT_EQ(shortfall.merged_motions > 0, !c.answer_before) << c.name;
  }
}

// A desktop that answers nothing for so long that the queue fills with presses: a press is
// dropped then, with its release, and counted; no press arrives without its release.
TEST(QueuedSink, FullQueueDropsWholeClicksAndCountsThem) {
  auto desktop = std::make_unique<HeldDesktop>();
  HeldDesktop& seen = *desktop;
  QueuedSink::Limits limits;
  limits.queue = 5;
  QueuedSink sink(std::move(desktop), nullptr, limits);
  const std::vector<int> errors = Send(sink, "cccccccc");
  seen.Answer();
  sink.Finish();
  const std::vector<std::string> taken = seen.Taken();
  int dropped = 0;
  for (int error : errors) dropped += error != 0 ? 1 : 0;
  EXPECT_GT(dropped, 0);
  EXPECT_EQ(sink.Shortfall().lost_events, dropped);
  EXPECT_EQ(static_cast<int>(taken.size()) + dropped, 16);
  for (size_t i = 0; i < taken.size(); ++i) {
    EXPECT_EQ(taken[i], i % 2 == 0 ? "left down" : "left up") << i;
  }
}

// What the engine hears from a desktop that refuses: a late answer alone is not a refusal; one
// late for longer than the limit is, and so is any other error; a desktop gone for good makes
// the sink lost, and what was still queued counts as lost.
TEST(QueuedSink, TellsTheEngineOnlyOfADesktopThatRefusesOrStaysSilent) {
  struct Case {
    const char* name;
    int error;
    bool gone;
    milliseconds unreachable;
    bool told;
  };
  const Case cases[] = {
      {"one late answer", ETIMEDOUT, false, milliseconds(3600000), false},
      {"silent past the limit", ETIMEDOUT, false, milliseconds(0), true},
      {"refused", ENOTSUP, false, milliseconds(3600000), true},
      {"gone", EPIPE, true, milliseconds(3600000), true},
  };
  for (const Case& c : cases) {
    auto desktop = std::make_unique<HeldDesktop>();
    HeldDesktop& seen = *desktop;
    seen.RefuseFrom(3, c.error, c.gone);
    seen.Answer();
    QueuedSink::Limits limits;
    limits.unreachable = c.unreachable;
    QueuedSink sink(std::move(desktop), nullptr, limits);
    int told = 0;
    // The refusal comes after its event was taken: send until it has surely been met.
    for (int i = 0; i < 200 && told == 0; ++i) {
      const int refused = sink.Move(1, 0);
      told = refused != 0 ? refused : sink.LateRefusal();
      if (i > 3) std::this_thread::sleep_for(milliseconds(1));
    }
    EXPECT_EQ(told, c.told ? c.error : 0) << c.name;
    EXPECT_EQ(sink.Lost(), c.gone) << c.name;
    sink.Finish();
    EXPECT_EQ(seen.Taken().size(), 3u) << c.name;
    EXPECT_GT(sink.Shortfall().lost_events, 0) << c.name;
  }
}

// A desktop that never answers cannot hold the program's end: Finish gives up the queue and
// frees the sender through abandon.
TEST(QueuedSink, FinishOnASilentDesktopAbandonsItAndReturns) {
  auto desktop = std::make_unique<HeldDesktop>();
  HeldDesktop& seen = *desktop;
  bool abandoned = false;
  QueuedSink::Limits limits;
  limits.finish = milliseconds(100);
  QueuedSink sink(
      std::move(desktop),
      [&] {
        abandoned = true;
        seen.RefuseFrom(0, EPIPE, true);
        seen.Answer();
      },
      limits);
  Send(sink, "mcm");
  sink.Finish();  // a hang here is the failure
  EXPECT_TRUE(abandoned);
  EXPECT_TRUE(seen.Taken().empty());
  EXPECT_EQ(sink.Shortfall().lost_events, 4);
}

}  // namespace

}  // namespace sonlet
