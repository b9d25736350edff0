// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/voice_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "engine/engine_harness.h"

namespace sonlet {

namespace {

// An "a" as a 175 cm man says it: F1 700 Hz, F2 1300 Hz, 100 Hz pitch.
std::vector<int16_t> VowelA(int blocks) { return SteadyVowel(700, 1300, blocks, 8000); }

// The lowest and highest intensity level of the steady "a" above, measured by an engine that
// is not listening. The level wavers a little with the phase of the pitch pulses in each frame.
std::pair<float, float> SteadyLevelsOfA() {
  EngineUnderTest probe(VowelA(200));
  probe.Run();
  float low = 1000.0f, high = -1000.0f;
  for (size_t p = 150; p < probe.out.passes.size(); ++p) {
    low = std::min(low, probe.out.passes[p].level);
    high = std::max(high, probe.out.passes[p].level);
  }
  return {low, high};
}

void SetProfile(EngineSettings& s, int threshold, int click_min, int click_max, int speed) {
  StoreSetting(s.threshold, threshold);
  StoreSetting(s.click_min, click_min);
  StoreSetting(s.click_max, click_max);
  StoreSetting(s.height, 85);
  StoreSetting(s.speed, speed);
  StoreSetting(s.male, 1);
}

bool Active(const PassRecord& r) { return r.listening && r.loud && r.pitch_median != 0.0f; }

TEST(VoiceEngine, HeldVowelSteersRightByTheSpeedStepPlusTheLoudnessBonus) {
  // The user holds "a" 20 dB above the threshold at speed 50: a step of 3 + 8 = 11 units to the
  // right on every pass after the run outlasts the upper click limit, and no click at the end.
  const auto [low, high] = SteadyLevelsOfA();
  const int threshold_level = static_cast<int>(std::floor(low)) - 20;
  ASSERT_GT(threshold_level, 10);
  ASSERT_LT(high - static_cast<float>(threshold_level), 22.0f);  // the bonus stays 8 throughout

  // The level settles before listening starts, as for a user who starts the engine first.
  EngineUnderTest t(Join({VowelA(120), VowelA(80), Quiet(40)}));
  SetProfile(t.settings, 100 - threshold_level, 3, 20, 50);
  t.Run(119);
  EXPECT_TRUE(t.out.events.empty());
  StoreSetting(t.settings.listening, 1);
  t.Run();

  // Pass p reads block p + 1: the vowel fills blocks 0..199, so passes up to 198 hear it held.
  const int64_t last_held_pass = 198;
  int steering_passes = 0;
  for (const PassRecord& r : t.out.passes) {
    if (r.listening && r.run > 20 && Active(r)) {
      ++steering_passes;
      EXPECT_EQ(r.event.kind, PassEvent::Kind::kMove) << "pass " << r.pass;
      // As the sound fades the bonus shrinks, but the direction stays.
      if (r.pass <= last_held_pass) {
        EXPECT_EQ(r.event.dx, 11) << "pass " << r.pass;
      }
      EXPECT_GT(r.event.dx, 0);
      EXPECT_EQ(r.event.dy, 0);
    } else {
      EXPECT_EQ(r.event.kind, PassEvent::Kind::kNone) << "pass " << r.pass;
    }
  }
  EXPECT_GT(steering_passes, 50);
  EXPECT_EQ(t.out.events.size(), static_cast<size_t>(steering_passes));
  EXPECT_EQ(t.engine->stats().moves_right, steering_passes);
  EXPECT_EQ(t.engine->stats().clicks, 0);
}

TEST(VoiceEngine, ShortSoundClicksOnceOnThePassAfterIt) {
  EngineUnderTest t(Join({VowelA(40), Quiet(40), VowelA(12), Quiet(40)}));
  SetProfile(t.settings, 60, 5, 20, 50);  // threshold 40 dB, far below the vowel
  StoreSetting(t.settings.listening, 1);
  t.Run();

  // The first sound is too long to click, and steers; the second is a click.
  ASSERT_EQ(t.engine->stats().clicks, 1);
  const auto& passes = t.out.passes;
  for (size_t p = 1; p < passes.size(); ++p) {
    if (passes[p].event.kind != PassEvent::Kind::kClick) continue;
    EXPECT_FALSE(Active(passes[p]));
    EXPECT_TRUE(Active(passes[p - 1]));
    EXPECT_GT(passes[p].run, 5);
    EXPECT_LT(passes[p].run, 20);
  }
  const auto& e = t.out.events;
  ASSERT_GE(e.size(), 2u);
  EXPECT_EQ(e[e.size() - 2], "left down");
  EXPECT_EQ(e.back(), "left up");

  // The same sound with the ENTER action: a key stroke and no mouse button.
  EngineUnderTest enter(Join({VowelA(40), Quiet(40), VowelA(12), Quiet(40)}));
  SetProfile(enter.settings, 60, 5, 20, 50);
  StoreSetting(enter.settings.click_action, 1);
  StoreSetting(enter.settings.listening, 1);
  enter.Run();
  EXPECT_EQ(enter.engine->stats().enters, 1);
  EXPECT_EQ(enter.engine->stats().clicks, 0);
  EXPECT_EQ(enter.out.events[enter.out.events.size() - 2], "enter down");
  EXPECT_EQ(enter.out.events.back(), "enter up");
}

TEST(VoiceEngine, ClicksAfterDigitalSilenceAreHeardLikeClicksAfterRoomNoise) {
  // Three clicks a second apart, the gaps once exact zeros (a muted microphone) and once faint
  // room noise. After a second of zeros the level must not have sunk so low that the next
  // short sound ends before it climbs back over the threshold.
  for (bool zeros : {true, false}) {
    SCOPED_TRACE(zeros ? "gaps of exact zeros" : "gaps of room noise");
    const auto gap = [zeros] { return zeros ? Silence(53) : Quiet(53); };
    EngineUnderTest t(Join({gap(), VowelA(12), gap(), VowelA(12), gap(), VowelA(12), gap()}));
    SetProfile(t.settings, 75, 5, 20, 50);  // threshold 25 dB
    StoreSetting(t.settings.listening, 1);
    t.Run();
    EXPECT_EQ(t.engine->stats().clicks, 3);
  }
}

TEST(VoiceEngine, SettingsOutsideTheirRangesAreUsedAtTheNearestEnd) {
  // A held "a" with every setting beyond its range, as a hand-edited profile may hold them,
  // steers exactly as with the nearest values in range: the same passes and the same steps.
  const std::vector<int16_t> sound = Join({VowelA(120), Quiet(20)});
  const auto run = [&sound](int threshold, int click_min, int click_max, int height, int speed,
                            int male) {
    EngineUnderTest t(sound);
    StoreSetting(t.settings.threshold, threshold);
    StoreSetting(t.settings.click_min, click_min);
    StoreSetting(t.settings.click_max, click_max);
    StoreSetting(t.settings.height, height);
    StoreSetting(t.settings.speed, speed);
    StoreSetting(t.settings.male, male);
    StoreSetting(t.settings.listening, 1);
    t.Run();
    return t.out.events;
  };
  constexpr int32_t kLowest = INT32_MIN;
  constexpr int32_t kHighest = INT32_MAX;
  const std::vector<std::string> in_range = run(90, 1, 50, 100, 0, 1);
  ASSERT_FALSE(in_range.empty());
  EXPECT_EQ(run(kHighest, kLowest, kHighest, kHighest, kLowest, kHighest), in_range);
  EXPECT_EQ(run(1000, -7, 51, 101, -1000000, 2), in_range);
  // And the other ends: the loudest threshold, clicks of 50, the shortest, slowest woman.
  EXPECT_EQ(run(kLowest, kHighest, kLowest, kLowest, kHighest, kLowest), run(0, 50, 1, 0, 100, 0));
}

TEST(VoiceEngine, AnySettingsAtAllGiveOnlyProperSteps) {
  // Settings drawn from the whole 32-bit range, the kind a damaged or hand-edited profile holds.
  // Under the sanitizers any overflow ends the test; here every step must stay within the largest
  // a voice can ask for: 7 units at speed 0 and a bonus of 38 at 90 dB over a 10 dB threshold.
  std::random_device seed_source;
  const unsigned seed = seed_source();
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937 random(seed);
  std::uniform_int_distribution<int32_t> any(INT32_MIN, INT32_MAX);
  std::uniform_int_distribution<int32_t> near(-3, 103);
  const std::vector<int16_t> sound = Join({VowelA(40), Quiet(10), VowelA(8), Quiet(10)});
  for (int draw = 0; draw < 60; ++draw) {
    EngineUnderTest t(sound);
    for (std::atomic<int32_t>* setting :
         {&t.settings.threshold, &t.settings.click_min, &t.settings.click_max, &t.settings.height,
          &t.settings.speed, &t.settings.male, &t.settings.click_action}) {
      StoreSetting(*setting, draw % 2 == 0 ? any(random) : near(random));
    }
    StoreSetting(t.settings.listening, 1);
    t.Run();
    for (const PassRecord& r : t.out.passes) {
      ASSERT_LE(std::abs(r.event.dx), 45) << "draw " << draw;
      ASSERT_LE(std::abs(r.event.dy), 45) << "draw " << draw;
    }
  }
}

TEST(VoiceEngine, FirstTwoPitchMediansAreZero) {
  EngineUnderTest t(VowelA(40));
  SetProfile(t.settings, 90, 5, 20, 50);  // threshold 10 dB
  StoreSetting(t.settings.listening, 1);
  t.Run();
  std::vector<float> medians;
  for (const PassRecord& r : t.out.passes) {
    const bool in_range = r.f0 >= 80.0f && r.f0 <= 480.0f;
    if (r.loud && r.ratio > 0.37f && in_range) medians.push_back(r.pitch_median);
  }
  ASSERT_GE(medians.size(), 5u);
  EXPECT_EQ(medians[0], 0.0f);
  EXPECT_EQ(medians[1], 0.0f);
  EXPECT_FLOAT_EQ(medians[2], 100.0f);
  ASSERT_FALSE(t.out.readings.empty());
  EXPECT_FLOAT_EQ(t.out.readings.back().pitch, 100.0f);
  EXPECT_EQ(t.out.readings.back().height_cm, 175);              // the height setting 85 plus 90 cm
  EXPECT_FLOAT_EQ(t.out.readings.back().tract_length, 16.75f);  // 2.75 + 0.08 x 175 for a man
  EXPECT_EQ(t.out.readings.back().intensity, t.out.passes.back().level);
}

TEST(VoiceEngine, PausingListeningFreezesTheListeningState) {
  // Two engines hear the same sound while listening; one of them also hears a different sound
  // while listening is off in between. What the listening passes compute must not differ.
  const auto before = VowelA(30);
  const auto after = SteadyVowel(250, 2300, 30, 8000);  // an "i"
  EngineUnderTest paused(Join({before, SteadyVowel(400, 800, 40, 12000), after}));
  EngineUnderTest straight(Join({before, after}));
  for (EngineUnderTest* t : {&paused, &straight}) {
    SetProfile(t->settings, 90, 5, 20, 50);
    StoreSetting(t->settings.listening, 1);
    t->Run(29);
  }
  StoreSetting(paused.settings.listening, 0);
  paused.Run(40);
  StoreSetting(paused.settings.listening, 1);
  paused.Run();
  straight.Run();

  std::vector<PassRecord> a, b;
  for (const auto& r : paused.out.passes)
    if (r.listening) a.push_back(r);
  for (const auto& r : straight.out.passes)
    if (r.listening) b.push_back(r);
  ASSERT_EQ(a.size(), b.size());
  for (size_t i = 0; i < a.size(); ++i) {
    SCOPED_TRACE("listening pass " + std::to_string(i));
    ASSERT_EQ(a[i].loud, b[i].loud);
    EXPECT_EQ(a[i].lag, b[i].lag);
    EXPECT_EQ(0, std::memcmp(&a[i].f0, &b[i].f0, sizeof(float) * 10));  // f0 .. f2_normalised
    EXPECT_EQ(a[i].run, b[i].run);
    EXPECT_EQ(a[i].event.kind, b[i].event.kind);
    EXPECT_EQ(a[i].event.direction, b[i].event.direction);
  }
  // The held "i" after the pause steers left in both.
  EXPECT_GT(straight.engine->stats().moves_left, 0);
  EXPECT_EQ(paused.engine->stats().moves_left, straight.engine->stats().moves_left);
}

TEST(VoiceEngine, MetersMoveOnEveryPassListeningOrNot) {
  EngineUnderTest t(Join({VowelA(60), Quiet(40)}));
  SetProfile(t.settings, 60, 5, 20, 0);  // threshold 40 dB; fastest speed: step 7
  t.Run(20);
  // Before any listening pass the speed step is 0, so the speed meter shows 2.
  for (const auto& m : t.out.meters) EXPECT_EQ(m.speed, 2);
  EXPECT_TRUE(t.out.readings.empty());
  StoreSetting(t.settings.listening, 1);
  t.Run(30);
  StoreSetting(t.settings.listening, 0);
  t.Run();

  const auto& meters = t.out.meters;
  const auto& passes = t.out.passes;
  ASSERT_EQ(meters.size(), passes.size());
  EXPECT_EQ(meters.back().speed, 9);  // 7 + 2, kept while listening is off
  for (size_t p = 0; p < passes.size(); ++p) {
    EXPECT_EQ(meters[p].intensity, static_cast<int>(std::clamp(passes[p].level, 0.0f, 90.0f)));
    EXPECT_GE(meters[p].voice_window, 1);
    EXPECT_LE(meters[p].voice_window, 50);
  }
  // The voice window counts loud passes after a pitched listening pass, also once listening is
  // off, and drops to its minimum on the first quiet pass.
  int longest = 0;
  for (const auto& m : meters) longest = std::max(longest, m.voice_window);
  EXPECT_GT(longest, 20);
  EXPECT_EQ(meters.back().voice_window, 1);
}

// A desktop that refuses events from some point on. The summary counts only the events the
// desktop took; a refusal is told once and the engine goes on trying; a desktop gone for good is
// told once and ends the run after the pass that found it out.
TEST(VoiceEngine, RefusedEventsAreNotCountedAndALostOutputEndsTheRun) {
  const auto session = [] {
    return Join({VowelA(40), Quiet(40), VowelA(12), Quiet(40), VowelA(40), Quiet(40), VowelA(12),
                 Quiet(40)});
  };
  EngineUnderTest all(session());
  SetProfile(all.settings, 60, 5, 20, 50);
  StoreSetting(all.settings.listening, 1);
  all.Run();
  const size_t events = all.out.events.size();
  ASSERT_GT(all.engine->stats().moves_right, 4);
  ASSERT_EQ(all.engine->stats().clicks, 2);

  struct Case {
    const char* name;
    size_t accepted;
    int error;
    bool loss;
    bool late;  // the refusals come after their events were taken, as from a queue
  };
  const Case cases[] = {
      {"refused midway", events / 2, ENOTSUP, false, false},
      {"lost midway", events / 2, EPIPE, true, false},
      {"lost at the first event", 0, ENODEV, true, false},
      {"lost at the last event", events - 1, EPIPE, true, false},
      {"refused later, from a queue", events / 2, ETIMEDOUT, false, true},
  };
  for (const Case& c : cases) {
    EngineUnderTest t(session());
    SetProfile(t.settings, 60, 5, 20, 50);
    StoreSetting(t.settings.listening, 1);
    t.out.accepted_events = c.accepted;
    t.out.refusal_error = c.error;
    t.out.refusal_is_loss = c.loss;
    t.out.refusal_is_late = c.late;
    t.Run();

    // What the desktop took, pass by pass: a pass's event counts when its first sink event went
    // out (a click whose release was refused still pressed).
    int64_t moves = 0;
    int64_t clicks = 0;
    size_t sent = 0;
    int64_t refusing_pass = -1;
    for (const PassRecord& r : t.out.passes) {
      const size_t sink_events = r.event.kind == PassEvent::Kind::kMove    ? 1
                                 : r.event.kind == PassEvent::Kind::kClick ? 2
                                                                           : 0;
      if (sink_events == 0) continue;
      if (sent < c.accepted || c.late) {
        moves += sink_events == 1 ? 1 : 0;
        clicks += sink_events == 2 ? 1 : 0;
      }
      if (refusing_pass < 0 && sent + sink_events > c.accepted) refusing_pass = r.pass;
      sent += sink_events;
    }
    ASSERT_GE(refusing_pass, 0) << c.name;
    EXPECT_EQ(t.engine->stats().moves_right, moves) << c.name;
    EXPECT_EQ(t.engine->stats().clicks, clicks) << c.name;
    const Notice told = c.loss ? Notice::kOutputLost : Notice::kInputRefused;
    EXPECT_EQ(std::count(t.out.notices.begin(), t.out.notices.end(), told), 1) << c.name;
    EXPECT_EQ(t.engine->output_lost(), c.loss) << c.name;
    if (c.loss) {
      // The pass that found the loss is complete (its record reached the trace), and no pass
      // follows it.
      EXPECT_EQ(t.out.passes.back().pass, refusing_pass) << c.name;
      EXPECT_EQ(std::count(t.out.notices.begin(), t.out.notices.end(), Notice::kInputRefused), 0)
          << c.name;
    } else {
      EXPECT_EQ(t.out.passes.size(), all.out.passes.size()) << c.name;
      EXPECT_EQ(t.out.events, all.out.events) << c.name << ": every event is still tried";
    }
  }
}

}  // namespace

}  // namespace sonlet
