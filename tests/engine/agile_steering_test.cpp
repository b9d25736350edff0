// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/agile_steering.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/engine_harness.h"
#include "engine/speaker_normalisation.h"

namespace sonlet {

namespace {

constexpr int kHeldBlocks = 220;  // about 4 s of "a"
constexpr int kOnset = 20;        // blocks of quiet before it

// The level a held "a" of this peak reaches, as the engine measures it.
float HeldLevel(double peak) {
  EngineUnderTest probe(Join({Quiet(20), SteadyVowel(700, 1300, kHeldBlocks, peak)}));
  probe.Run();
  return probe.out.passes.back().level;
}

struct Held {
  std::vector<PassRecord> moves;  // the passes that moved, in order
  int first_run = -1;             // the run length on the first of them
  int first_pass = -1;            // and its pass, counted from the start of the sound
};

// A held "a" through the real engine, its level `above` dB over the threshold level, with
// agile steering or without.
Held HoldA(double peak, float level, int above, int speed, int click_max, bool agile) {
  EngineUnderTest t(Join({Quiet(kOnset), SteadyVowel(700, 1300, kHeldBlocks, peak), Quiet(20)}));
  StoreSetting(t.settings.threshold, 100 - (static_cast<int>(std::floor(level)) - above));
  StoreSetting(t.settings.click_min, 3);
  StoreSetting(t.settings.click_max, click_max);
  StoreSetting(t.settings.height, 85);
  StoreSetting(t.settings.speed, speed);
  StoreSetting(t.settings.male, 1);
  SetListening(&t.settings, true);
  AgileSteering steering;
  if (agile) t.settings.agile_steering.store(&steering);
  t.Run();
  Held held;
  for (const PassRecord& p : t.out.passes) {
    if (p.event.kind != PassEvent::Kind::kMove) continue;
    if (held.moves.empty())
      held.first_run = p.run, held.first_pass = static_cast<int>(p.pass) - kOnset;
    held.moves.push_back(p);
  }
  return held;
}

// A held vowel with agile steering: no motion before the run can no longer be a click, then
// about a pixel a pass, growing, never backwards, near the threshold too (where the engine's
// own step turns negative at speed 75), and a long hold crosses 1920 px in one to two seconds.
TEST(AgileSteering, HeldVowelRampsFromAPixelWithoutEverTurningBack) {
  constexpr double kPeak = 6000;
  const float level = HeldLevel(kPeak);
  const struct {
    int above;  // dB over the threshold level
    int speed;
    int click_max;
    bool default_turns_back;  // the engine's own step is negative here
    bool crosses_in_one_to_two_seconds;
  } rows[] = {
      {0, 75, 20, true, false},  // speed 75 just over the threshold: the engine's step is -1
      {1, 50, 20, false, true},  {14, 50, 20, false, true}, {14, 50, 8, false, true},
      {20, 0, 35, false, false},  // the fastest setting, a long click window
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(testing::Message() << "above " << row.above << " dB, speed " << row.speed
                                    << ", click limit " << row.click_max);
    const Held own = HoldA(kPeak, level, row.above, row.speed, row.click_max, false);
    ASSERT_FALSE(own.moves.empty());
    EXPECT_EQ(own.moves.front().event.dx < 0, row.default_turns_back);

    const Held agile = HoldA(kPeak, level, row.above, row.speed, row.click_max, true);
    ASSERT_GT(agile.moves.size(), 100u);
    // The first move comes on the very pass the run reaches the upper click limit, the run
    // counted from the sound's own start, not from the level meter's rise over the threshold.
    EXPECT_EQ(agile.first_run, row.click_max);
    EXPECT_LE(agile.first_pass, row.click_max + 1);
    EXPECT_GT(own.first_pass, agile.first_pass + 1);
    EXPECT_EQ(agile.moves.front().event.dx, 1);
    int travelled = 0;
    int passes_to_cross = 0;
    int previous = 0;
    int run = agile.first_run - 1;
    for (const PassRecord& p : agile.moves) {
      ASSERT_GE(p.event.dx, 1) << "at run " << p.run;  // never still, never back
      EXPECT_EQ(p.event.dy, 0);
      EXPECT_EQ(p.event.direction, Direction::kRight);
      EXPECT_EQ(p.run, run + 1) << "a held vowel moves on every pass";
      run = p.run;
      // Louder or softer by a dB from pass to pass changes a step by a tenth at most, so the
      // ramp shows through: never more than a pixel or a tenth smaller than the step before,
      // but for the last, as the sound fades.
      if (&p != &agile.moves.back()) {
        EXPECT_GE(p.event.dx, previous - 1 - previous / 10) << "at run " << p.run;
      }
      previous = p.event.dx;
      travelled += p.event.dx;
      if (travelled < 1920) ++passes_to_cross;
    }
    EXPECT_GE(previous, 24);  // cruising: the slowest setting's cruise or faster
    if (row.crosses_in_one_to_two_seconds) {
      EXPECT_GE(passes_to_cross, 53);
      EXPECT_LE(passes_to_cross, 107);
    }
  }
}

// A short sound in the click window still clicks with agile steering on, and moves nothing;
// the click window counts the sound itself there, so a loud sound a little longer than the
// window, which the level meter's slow rise makes a click, steers instead.
TEST(AgileSteering, TheClickWindowCountsTheSoundItself) {
  const struct {
    int blocks;
    bool agile;
    bool clicks;
  } rows[] = {{12, false, true}, {12, true, true}, {24, false, true}, {24, true, false}};
  for (const auto& row : rows) {
    EngineUnderTest t(Join({Quiet(20), SteadyVowel(700, 1300, row.blocks, 8000), Quiet(30)}));
    StoreSetting(t.settings.threshold, 60);  // 40 dB, far below the sound
    StoreSetting(t.settings.click_min, 3);
    StoreSetting(t.settings.click_max, 20);
    StoreSetting(t.settings.speed, 50);
    StoreSetting(t.settings.height, 85);
    StoreSetting(t.settings.male, 1);
    SetListening(&t.settings, true);
    AgileSteering steering;
    if (row.agile) t.settings.agile_steering.store(&steering);
    t.Run();
    SCOPED_TRACE(testing::Message() << row.blocks << " blocks, agile " << row.agile);
    if (row.clicks) {
      EXPECT_EQ(t.out.events, (std::vector<std::string>{"left down", "left up"}));
    } else {
      ASSERT_FALSE(t.out.events.empty());
      for (const std::string& e : t.out.events) EXPECT_EQ(e.rfind("move ", 0), 0u) << e;
    }
  }
}

}  // namespace

}  // namespace sonlet
