// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/direction_decision.h"
#include "engine/run_tracker.h"
#include "engine/speaker_normalisation.h"

namespace sonlet {

namespace {

TEST(SpeakerNormalisation, ScalesFormantsToTheReferenceTract) {
  // A 175 cm man: tract 16.75 cm; 700 and 1300 Hz scale to 670 and 1244 (an "a": right).
  SpeakerNormalisation man = NormaliseSpeaker(85, 50, true, 700.0f, 1300.0f, true);
  EXPECT_EQ(man.height_cm, 175);
  EXPECT_FLOAT_EQ(man.tract_length, 16.75f);
  EXPECT_EQ(man.f1, 670.0f);
  EXPECT_EQ(man.f2, 1244.0f);
  EXPECT_EQ(DecideDirection(man.f1, man.f2, 0), Direction::kRight);

  // A 160 cm woman: tract 13.045 cm; 850 and 1600 Hz scale to 633 and 1192.
  SpeakerNormalisation woman = NormaliseSpeaker(70, 50, false, 850.0f, 1600.0f, true);
  EXPECT_NEAR(woman.tract_length, 13.045f, 1e-5f);
  EXPECT_EQ(woman.f1, 633.0f);
  EXPECT_EQ(woman.f2, 1192.0f);
  EXPECT_EQ(DecideDirection(woman.f1, woman.f2, 0), Direction::kRight);

  // An "i" of the same man: 287 and 2105, left.
  SpeakerNormalisation i = NormaliseSpeaker(85, 50, true, 300.0f, 2200.0f, true);
  EXPECT_EQ(i.f1, 287.0f);
  EXPECT_EQ(i.f2, 2105.0f);
  EXPECT_EQ(DecideDirection(i.f1, i.f2, 0), Direction::kLeft);

  // Not loud and voiced: nothing to steer with.
  SpeakerNormalisation quiet = NormaliseSpeaker(85, 50, true, 700.0f, 1300.0f, false);
  EXPECT_EQ(quiet.f1, 0.0f);
  EXPECT_EQ(quiet.f2, 0.0f);
}

TEST(SpeakerNormalisation, SpeedStepsOverTheTrackBar) {
  const int first_speed_of_step[] = {0, 10, 23, 36, 49, 62, 75, 88};
  for (int step = 7, i = 0; i < 8; --step, ++i) {
    const int from = first_speed_of_step[i];
    const int to = i + 1 < 8 ? first_speed_of_step[i + 1] - 1 : 100;
    EXPECT_EQ(NormaliseSpeaker(85, from, true, 0, 0, false).speed_step, step) << from;
    EXPECT_EQ(NormaliseSpeaker(85, to, true, 0, 0, false).speed_step, step) << to;
  }
}

TEST(LoudnessBonus, GrowsOneUnitPerTwoDecibels) {
  EXPECT_EQ(LoudnessBonus(56.9f, 55), -2);  // just above the threshold
  EXPECT_EQ(LoudnessBonus(63.0f, 55), 2);   // 8 dB: not yet loud enough to go up
  EXPECT_EQ(LoudnessBonus(65.0f, 55), 3);   // 10 dB
  EXPECT_EQ(LoudnessBonus(75.5f, 55), 8);   // 20 dB: speed 50 gives a step of 3 + 8 = 11
  EXPECT_EQ(LoudnessBonus(51.0f, 55), 0);   // below: the magnitude counts
}

TEST(DirectionDecision, RegionTable) {
  EXPECT_EQ(DecideDirection(400, 1900, 2), Direction::kNone);  // "e" said too softly
  EXPECT_EQ(DecideDirection(400, 1900, 3), Direction::kUp);
  EXPECT_EQ(DecideDirection(319, 1900, 3), Direction::kLeft);
  EXPECT_EQ(DecideDirection(320, 1900, 3), Direction::kUp);    // 320 belongs to "e"
  EXPECT_EQ(DecideDirection(300, 1700, 9), Direction::kNone);  // between "i" and "e"
  EXPECT_EQ(DecideDirection(400, 900, 0), Direction::kDown);
  EXPECT_EQ(DecideDirection(300, 800, 0), Direction::kDown);
  EXPECT_EQ(DecideDirection(400, 1200, 9), Direction::kNone);
  EXPECT_EQ(DecideDirection(400, 1000, 9), Direction::kNone);
  EXPECT_EQ(DecideDirection(400, 1500, 9), Direction::kNone);
  EXPECT_EQ(DecideDirection(550, 900, 9), Direction::kNone);  // exactly 550: never
  EXPECT_EQ(DecideDirection(550, 100, 9), Direction::kNone);
  EXPECT_EQ(DecideDirection(551, 851, 0), Direction::kRight);
  EXPECT_EQ(DecideDirection(551, 850, 0), Direction::kNone);  // no fallback to "down"
  EXPECT_EQ(DecideDirection(400, 0, 0), Direction::kDown);    // a missing F2 reads as low
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(DecideDirection(nan, 900, 9), Direction::kNone);
  EXPECT_EQ(DecideDirection(400, nan, 9), Direction::kNone);
  EXPECT_EQ(DecideDirection(700, nan, 9), Direction::kNone);
}

TEST(DirectionDecision, StepSignFollowsTheDirection) {
  EXPECT_EQ(MotionFor(Direction::kRight, 11).dx, 11);
  EXPECT_EQ(MotionFor(Direction::kLeft, 11).dx, -11);
  EXPECT_EQ(MotionFor(Direction::kUp, 11).dy, -11);  // screen y grows downwards
  EXPECT_EQ(MotionFor(Direction::kDown, 11).dy, 11);
  EXPECT_EQ(MotionFor(Direction::kRight, -2).dx, -2);  // too soft: back the other way
  const Motion none = MotionFor(Direction::kNone, 5);
  EXPECT_EQ(none.dx, 0);
  EXPECT_EQ(none.dy, 0);
}

// Feeds a run of `length` active passes and one inactive pass; returns what the tracker did.
struct RunOutcome {
  int steers = 0;
  int clicks = 0;
  int first_steer = 0;  // the run length at the first steering pass
  bool click_on_the_pass_after = false;
};

RunOutcome RunOf(int length, int click_min, int click_max) {
  RunTracker tracker;
  RunOutcome outcome;
  for (int i = 1; i <= length; ++i) {
    const RunTracker::Action a = tracker.Track(true, click_min, click_max);
    EXPECT_NE(a, RunTracker::Action::kClick);
    if (a == RunTracker::Action::kSteer) {
      if (outcome.steers++ == 0) outcome.first_steer = i;
    }
  }
  if (tracker.Track(false, click_min, click_max) == RunTracker::Action::kClick) {
    ++outcome.clicks;
    outcome.click_on_the_pass_after = true;
  }
  EXPECT_EQ(tracker.Track(false, click_min, click_max), RunTracker::Action::kNone);
  return outcome;
}

TEST(RunTracker, ClickWindowAndSteering) {
  for (int length = 1; length <= 30; ++length) {
    SCOPED_TRACE("run of " + std::to_string(length));
    const RunOutcome o = RunOf(length, 5, 20);
    EXPECT_EQ(o.clicks, (length >= 6 && length <= 19) ? 1 : 0);
    EXPECT_EQ(o.steers, std::max(0, length - 20));
    if (o.steers > 0) {
      EXPECT_EQ(o.first_steer, 21);
    }
  }
  // Limits that leave no room between them: nothing clicks.
  for (int length = 1; length <= 10; ++length) EXPECT_EQ(RunOf(length, 4, 5).clicks, 0);
}

TEST(RunTracker, ABreakMakesTwoRunsAndLimitsAreReadAsTheRunEnds) {
  RunTracker tracker;
  int clicks = 0;
  for (int run : {8, 8}) {
    for (int i = 0; i < run; ++i) tracker.Track(true, 5, 20);
    clicks += tracker.Track(false, 5, 20) == RunTracker::Action::kClick;
  }
  EXPECT_EQ(clicks, 2);

  // A run that has steered clicks after all if the upper limit is raised before it ends.
  for (int i = 0; i < 25; ++i) tracker.Track(true, 5, 20);
  EXPECT_EQ(tracker.Track(false, 5, 30), RunTracker::Action::kClick);
  EXPECT_EQ(tracker.run_length(), 25);
  EXPECT_TRUE(tracker.idle());
}

}  // namespace

}  // namespace sonlet
